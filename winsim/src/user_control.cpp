#include "user_model.h"
#include "winsim/control.h"

namespace winsim::control {

void setDialogClose(DialogClose close) {
    userSession().close = close;
}

const std::vector<ShownDialog>& shownDialogs() {
    return userSession().shown;
}

void setShiftHeld(bool held) {
    userSession().shiftHeld = held;
}

void setWindowStationVisible(bool visible) {
    userSession().stationVisible = visible;
}

} // namespace winsim::control
