#pragma once

#include "common/KeyCombo.h"

#include <QString>
#include <optional>

namespace zorv
{

// The trigger text the GlobalShortcuts portal takes as a preferred trigger: modifiers CTRL, ALT,
// SHIFT, LOGO joined by '+' with the xkb keysym name of the unshifted key ("CTRL+SHIFT+3",
// "LOGO+Print"). Command is LOGO and Option is ALT. nullopt for a key without a keysym name.
std::optional<QString> portalTrigger(const KeyCombo &combo);

// The combo a trigger text names, for the `trigger_description` a portal gives back when it is
// in the same syntax (modifier names and keysym names are matched without regard to case, and
// the keysym aliases Prior/Next are taken); nullopt for anything else, such as a description
// meant for people.
std::optional<KeyCombo> comboFromPortalTrigger(const QString &trigger);

} // namespace zorv
