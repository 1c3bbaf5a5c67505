#pragma once

#include <QByteArray>

// Qt takes the time for a PDF's Info dictionary and for its XMP metadata at different moments,
// so that a report drawn across a second's end holds two creation times; PDF/A requires them
// equal. Sets the XMP's creation and modification dates to the Info dictionary's, in place and
// byte for byte as long, so that no object moves. False, and pdf unchanged, when the file has
// no such dates in the form Qt writes them.
bool AlignXmpDates(QByteArray& pdf);
