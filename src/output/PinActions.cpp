#include "app/Toast.h"
#include "output/OutputService.h"
#include "output/PinWindowController.h"
#include "settings/AppSettings.h"

namespace zorv
{

PinActions PinActions::standard()
{
    PinActions actions;
    actions.copy = &OutputService::copy;
    actions.saveWithPanel = [](const QImage &image, const QString &suggestedName) {
        OutputService::shared().saveWithPanel(image, suggestedName);
    };
    actions.toast = &Toast::show;
    actions.naming = [] {
        const AppSettings &settings = AppSettings::shared();
        return std::pair(settings.nameTemplate(), settings.imageFormat());
    };
    return actions;
}

} // namespace zorv
