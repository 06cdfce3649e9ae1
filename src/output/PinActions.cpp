#include "output/PinWindowController.h"
#include "settings/AppSettings.h"

namespace zorv
{

PinActions PinActions::standard()
{
    PinActions actions;
    actions.naming = [] {
        const AppSettings &settings = AppSettings::shared();
        return std::pair(settings.nameTemplate(), settings.imageFormat());
    };
    return actions;
}

} // namespace zorv
