#pragma once

#include <QApplication>
#include <functional>
#include <string>

// The application object: its title, and the default handler that shows the message of any
// error that ends a command and lets the program go on.
class TMeridaxApplication : public QApplication {
    Q_OBJECT

public:
    static constexpr const char* Title = "MERIDAX data exporter 1.1";

    using TErrorReporter = std::function<void(const std::string& message)>;

    TMeridaxApplication(int& argc, char** argv);

    // Catches an exception that leaves an event handler, so it ends that command only.
    bool notify(QObject* receiver, QEvent* event) override;

    // Shows message in a message box titled with the application title, or hands it to the
    // reporter a test has put in place.
    void ShowError(const std::string& message);
    void SetErrorReporter(TErrorReporter reporter);

private:
    TErrorReporter reporter_;
};

// The default error handler of whichever application runs; a message box when the running
// application is not a TMeridaxApplication.
void ReportApplicationError(const std::string& message);

// Runs one command (a slot) under the default error handler.
template <typename Command>
void RunCommand(Command&& command) {
    try {
        command();
    } catch (const std::exception& e) {
        ReportApplicationError(e.what());
    } catch (...) {
        ReportApplicationError("Unknown error");
    }
}
