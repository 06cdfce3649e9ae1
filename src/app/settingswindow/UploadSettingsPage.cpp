#include "app/settingswindow/SettingsLayout.h"
#include "app/settingswindow/SettingsPages.h"
#include "app/settingswindow/SettingsServices.h"
#include "output/upload/UploadRequest.h"
#include "settings/AppSettings.h"

#include <QJsonDocument>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace zorv::settingsPages
{

using namespace settingsLayout;

bool headersValid(const QString &text)
{
    if (text.trimmed().isEmpty())
        return true;
    QJsonParseError error;
    QJsonDocument::fromJson(text.toUtf8(), &error);
    return error.error == QJsonParseError::NoError;
}

QWidget *upload(const SettingsServices &services)
{
    AppSettings &settings = *services.settings;
    auto *page = new QWidget;
    auto *layout = new QVBoxLayout(page);
    addSectionTitle(layout, QStringLiteral("Cloud Upload"),
                    QStringLiteral("Uploads a PNG with multipart/form-data and expects a link "
                                   "back."));
    QBoxLayout *group = addGroup(layout);
    auto *endpoint = new QLineEdit;
    endpoint->setObjectName(settings.uploadEndpoint.key());
    endpoint->setPlaceholderText(QStringLiteral("https://…"));
    endpoint->setMinimumWidth(300);
    addRow(group, QStringLiteral("Endpoint URL"), endpoint,
           QStringLiteral("The address the capture is sent to with POST, for example "
                          "https://uploads.example.org/api/upload."));
    auto *token = new QLineEdit;
    token->setObjectName(settings.uploadToken.key());
    token->setEchoMode(QLineEdit::Password);
    token->setMinimumWidth(300);
    addRow(group, QStringLiteral("Bearer token"), token,
           settings.uploadTokenPersistent()
               ? QStringLiteral("Optional. Sent as Authorization header.")
               : QStringLiteral("Optional. Sent as Authorization header. No keyring answers, "
                                "so it is kept only until Zorv quits."));
    auto *field = new QLineEdit;
    field->setObjectName(settings.uploadFieldName.key());
    field->setPlaceholderText(QStringLiteral("file"));
    addRow(group, QStringLiteral("Form field name"), field);
    auto *headers = new QPlainTextEdit;
    headers->setObjectName(settings.uploadHeadersJSON.key());
    headers->setPlaceholderText(QStringLiteral("{}"));
    headers->setTabChangesFocus(true);
    headers->setFixedHeight(90);
    headers->setMinimumWidth(300);
    addRow(group, QStringLiteral("Extra headers"), headers,
           QStringLiteral("Optional JSON object of header names to values."));
    auto *warning = note(QStringLiteral("⚠ Extra headers must be valid JSON."));
    warning->setObjectName(QStringLiteral("headersWarning"));
    warning->setForegroundRole(QPalette::Text);
    group->addWidget(warning);
    // Text that would break the request is refused at upload time; say so here first.
    auto *unsafe = note(QString());
    unsafe->setObjectName(QStringLiteral("requestWarning"));
    unsafe->setForegroundRole(QPalette::Text);
    unsafe->setWordWrap(true);
    group->addWidget(unsafe);
    layout->addWidget(
        note(QStringLiteral("The server should respond with JSON containing a \"url\" field, or "
                            "plain text containing the link. Zorv copies the link to the "
                            "clipboard when the upload finishes.")));
    layout->addStretch(1);

    const auto show = [warning, unsafe](const QString &headersText, const QString &fieldText) {
        warning->setVisible(!headersValid(headersText));
        QString problem = fieldNameProblem(fieldText);
        if (problem.isEmpty())
            problem = extraHeadersProblem(headersText);
        unsafe->setText(QStringLiteral("⚠ ") + problem);
        unsafe->setVisible(!problem.isEmpty());
    };
    const auto check = [show, headers, field] { show(headers->toPlainText(), field->text()); };
    QObject::connect(headers, &QPlainTextEdit::textChanged, page, check);
    QObject::connect(field, &QLineEdit::textChanged, page, check);
    // The binder fills the text with signals blocked; check again once it has.
    QObject::connect(&settings, &AppSettings::changed, page, check);
    show(settings.uploadHeadersJSON(), settings.uploadFieldName());
    return page;
}

} // namespace zorv::settingsPages
