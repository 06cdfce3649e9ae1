#pragma once

#include <QString>

class QWidget;

namespace zorv
{

struct SettingsServices;

// The window's five pages, in sidebar order. Controls named after an option
// are bound by the window's SettingsBinder once a page is built.
enum class SettingsTab { general, shortcuts, recording, upload, about };

namespace settingsTab
{
QString label(SettingsTab tab);
QString symbol(SettingsTab tab);
} // namespace settingsTab

namespace settingsPages
{
QWidget *general(const SettingsServices &services);
QWidget *shortcuts(const SettingsServices &services);
QWidget *recording(const SettingsServices &services);
QWidget *upload(const SettingsServices &services);
QWidget *about(const SettingsServices &services);
QWidget *build(SettingsTab tab, const SettingsServices &services);

// Texts shown beside controls.
QString secondsLabel(double seconds);  // "6s"
QString percentLabel(double fraction); // "90%", rounded down
bool headersValid(const QString &text);
} // namespace settingsPages

} // namespace zorv
