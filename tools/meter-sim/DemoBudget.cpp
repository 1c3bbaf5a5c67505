#include "tools/meter-sim/DemoBudget.h"

TBudget DemoBudget() {
    TBudget budget;
    budget.Name = "meridax-meter-sim demo: TIA-568 single-mode inside plant";
    budget.Preset = "tia-568-sm-isp";
    budget.Links.push_back({"*", 1000, 3, 3});
    const TPowerWindow window{-36.0, -1.0};
    budget.PowerDbm = {{1310, window}, {1550, window}};
    return budget;
}
