#include "output/encoding/ImageEncoder.h"
#include "output/upload/UploadReply.h"
#include "output/upload/UploadRequest.h"
#include "output/upload/UploadService.h"
#include "support/Images.h"
#include "support/TemporarySettings.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QSslKey>
#include <QSslServer>
#include <QSslSocket>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace zorv;

namespace
{

const QByteArray boundary = "----ZorvBoundaryAAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE";

QByteArray expectedBody(const QByteArray &mark, const QByteArray &field, const QByteArray &data)
{
    return "--" + mark + "\r\nContent-Disposition: form-data; name=\"" + field +
           "\"; filename=\"zorv.png\"\r\nContent-Type: image/png\r\n\r\n" + data + "\r\n--" + mark +
           "--\r\n";
}

// An HTTP or HTTPS server on 127.0.0.1 in this process: records the request and,
// unless silent, answers it with `response` and closes.
class LoopbackServer : public QObject
{
  public:
    QByteArray response;
    bool silent = false;
    QByteArray received;
    int requests = 0;

    explicit LoopbackServer(QTcpServer *server) : m_server(server)
    {
        m_server->setParent(this);
        QObject::connect(m_server, &QTcpServer::pendingConnectionAvailable, this, [this] {
            while (QTcpSocket *socket = m_server->nextPendingConnection())
                serve(socket);
        });
        m_server->listen(QHostAddress::LocalHost);
    }
    quint16 port() const { return m_server->serverPort(); }
    QByteArray requestHead() const { return received.left(received.indexOf("\r\n\r\n") + 2); }
    QByteArray requestBody() const { return received.mid(received.indexOf("\r\n\r\n") + 4); }
    QByteArray header(const QByteArray &name) const
    {
        for (const QByteArray &line : requestHead().split('\n'))
            if (line.toLower().startsWith(name.toLower() + ":"))
                return line.mid(name.size() + 1).trimmed();
        return {};
    }

  private:
    void serve(QTcpSocket *socket)
    {
        ++requests;
        received.clear();
        socket->setParent(this);
        QObject::connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
            received += socket->readAll();
            const qsizetype end = received.indexOf("\r\n\r\n");
            if (end < 0 || requestBody().size() < header("Content-Length").toLongLong())
                return;
            if (!silent) {
                socket->write(response);
                socket->disconnectFromHost();
            }
        });
    }
    QTcpServer *m_server;
};

QByteArray answer(int status, const QByteArray &body, const QByteArray &extra = {})
{
    return "HTTP/1.1 " + QByteArray::number(status) +
           " Reason\r\nContent-Length: " + QByteArray::number(body.size()) +
           "\r\nConnection: close\r\n" + extra + "\r\n" + body;
}

// A throw-away certificate authority, a server certificate it signed and one
// that signed itself, made with openssl for this run.
struct TestCertificates {
    QTemporaryDir dir;
    QByteArray caPem, signedPem, signedKey, selfPem, selfKey;

    bool make()
    {
        const QString d = dir.path();
        const QString ec = QStringLiteral("ec:") + d + "/params.pem";
        const QList<QStringList> steps = {
            {"ecparam", "-name", "prime256v1", "-out", d + "/params.pem"},
            {"req", "-x509", "-newkey", ec, "-nodes", "-keyout", d + "/ca.key", "-out",
             d + "/ca.pem", "-days", "2", "-subj", "/CN=Zorv Test CA", "-addext",
             "basicConstraints=critical,CA:TRUE", "-addext", "keyUsage=keyCertSign,cRLSign"},
            {"req", "-newkey", ec, "-nodes", "-keyout", d + "/server.key", "-out",
             d + "/server.csr", "-subj", "/CN=127.0.0.1"},
            {"x509", "-req", "-in", d + "/server.csr", "-CA", d + "/ca.pem", "-CAkey",
             d + "/ca.key", "-CAcreateserial", "-out", d + "/server.pem", "-days", "2", "-extfile",
             d + "/san.cnf"},
            {"req", "-x509", "-newkey", ec, "-nodes", "-keyout", d + "/self.key", "-out",
             d + "/self.pem", "-days", "2", "-subj", "/CN=127.0.0.1", "-addext",
             "subjectAltName=IP:127.0.0.1"},
        };
        QFile san(d + "/san.cnf");
        if (!san.open(QIODevice::WriteOnly) || san.write("subjectAltName=IP:127.0.0.1\n") < 0)
            return false;
        san.close();
        for (const QStringList &step : steps) {
            QProcess openssl;
            openssl.start(QStringLiteral("openssl"), step);
            if (!openssl.waitForFinished(20000) || openssl.exitCode() != 0)
                return false;
        }
        const auto read = [&d](const char *name) {
            QFile file(d + "/" + name);
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        };
        caPem = read("ca.pem");
        signedPem = read("server.pem");
        signedKey = read("server.key");
        selfPem = read("self.pem");
        selfKey = read("self.key");
        return !caPem.isEmpty() && !signedKey.isEmpty() && !selfKey.isEmpty();
    }
};

QTcpServer *httpsServer(const QByteArray &certificate, const QByteArray &key)
{
    auto *server = new QSslServer;
    QSslConfiguration ssl = QSslConfiguration::defaultConfiguration();
    ssl.setLocalCertificate(QSslCertificate(certificate, QSsl::Pem));
    ssl.setPrivateKey(QSslKey(key, QSsl::Ec, QSsl::Pem));
    server->setSslConfiguration(ssl);
    return server;
}

// A keyring that answers only when the test says so.
class HeldSecretStore : public SecretStore
{
  public:
    ReadCallback answer;
    void read(const QString &, ReadCallback done) override { answer = std::move(done); }
    void write(const QString &, const QString &, WriteCallback) override {}
    bool isPersistent() const override { return true; }
};

struct Fixture {
    test::TemporarySettings store;
    QStringList toasts;
    QStringList copied;
    int settingsOpened = 0;
    UploadService service;

    explicit Fixture(const QByteArray &caPem = {}, int timeoutMs = 60000)
        : service(UploadServices{
              store.settings.get(),
              [this](const QString &text, const QString &, double) { toasts << text; },
              [this](const QString &text) { copied << text; }, [this] { ++settingsOpened; },
              [caPem] { return loadUploadTransport(caPem); }, timeoutMs})
    {
        QTRY_VERIFY(store.settings->uploadTokenLoaded());
    }

    Expected<QString, UploadFailure> send(const QByteArray &data = "PNGDATA")
    {
        std::optional<Expected<QString, UploadFailure>> outcome;
        service.send(data, QStringLiteral("zorv.png"),
                     [&outcome](Expected<QString, UploadFailure> link) { outcome = link; });
        if (!QTest::qWaitFor([&outcome] { return outcome.has_value(); }, 10000))
            return UploadFailure{QStringLiteral("(no outcome)")};
        return *outcome;
    }
};

QString outcomeText(const Expected<QString, UploadFailure> &outcome)
{
    return outcome ? outcome.value() : outcome.error().message;
}

} // namespace

// The request users' servers parse: one file part, exactly framed; the token
// as a bearer; extra headers from a JSON object only, able to replace ours.
TEST(UploadRequest, BodyAndHeadersAreExact)
{
    const struct {
        const char *token;
        const char *headersJSON;
        QList<std::pair<QByteArray, QByteArray>> headers;
    } cases[] = {
        {"", "", {{"Content-Type", "multipart/form-data; boundary=" + boundary}}},
        {" t0k ",
         R"({"X-Count": 3, "X-Ratio": 1.5, "X-Big": 1e11, "content-type": "text/x"})",
         {{"content-type", "text/x"},
          {"Authorization", "Bearer  t0k "},
          {"X-Count", "3"},
          {"X-Big", "100000000000"},
          {"X-Ratio", "1.5"}}},
        {"tok",
         "[1, 2]",
         {{"Content-Type", "multipart/form-data; boundary=" + boundary},
          {"Authorization", "Bearer tok"}}},
        {"", "{not json", {{"Content-Type", "multipart/form-data; boundary=" + boundary}}},
    };
    const QByteArray png =
        ImageEncoder::pngData(test::solidImage()).value() + QByteArray("\r\n--\0\xff", 6);
    for (const auto &c : cases) {
        SCOPED_TRACE(c.headersJSON);
        const auto request =
            buildUploadRequest({"https://up.example/api?x=1", c.token, "file", c.headersJSON}, png,
                               "zorv.png", boundary);
        ASSERT_TRUE(request) << request.error().message.toStdString();
        EXPECT_EQ(request.value().url, QUrl("https://up.example/api?x=1"));
        EXPECT_EQ(request.value().body, expectedBody(boundary, "file", png));
        auto headers = request.value().headers;
        auto expected = c.headers;
        std::sort(headers.begin(), headers.end());
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(headers, expected);
    }
    const QByteArray fresh = newUploadBoundary();
    EXPECT_EQ(fresh.size(), 52);
    EXPECT_TRUE(QRegularExpression("^----ZorvBoundary[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}$")
                    .match(QString::fromLatin1(fresh))
                    .hasMatch());
    EXPECT_NE(fresh, newUploadBoundary());
}

// Endpoints must be https but for this machine; text that would add or break
// header lines is refused with a message that never quotes the token.
TEST(UploadRequest, RefusesBadEndpointsAndUnsafeText)
{
    const QString badEndpoint = uploadTexts::badEndpoint();
    const struct {
        const char *endpoint;
        const char *token;
        const char *field;
        const char *headersJSON;
        QString refusal; // empty: accepted; otherwise a part of the message
    } cases[] = {
        {"http://localhost:8080/up", "secret", "file", "", {}},
        {"http://127.0.0.1/up", "", "file", "", {}},
        {"http://[::1]:9/", "", "file", "", {}},
        {"https://up.example", "", "file", R"({"X-A": "v\tw"})", {}},
        {"http://up.example/up", "", "file", "", badEndpoint},
        {"ftp://up.example/up", "", "file", "", badEndpoint},
        {"up.example/upload", "", "file", "", badEndpoint},
        {"https://up.example/my upload", "", "file", "", badEndpoint},
        {" https://up.example/", "", "file", "", badEndpoint},
        {"", "", "file", "", badEndpoint},
        {"https://up.example/", "", "file\r\nX-Evil: 1", "", "form field name"},
        {"https://up.example/", "", "fi\"le", "", "form field name"},
        {"https://up.example/", "", "file", R"({"X-A\r\nX-Evil": "1"})", "\"X-A…\""},
        {"https://up.example/", "", "file", R"({"X A": "1"})", "\"X…\""},
        {"https://up.example/", "", "file", R"({"Authorization: Bearer secret": ""})",
         "\"Authorization…\""},
        {"https://up.example/", "", "file", R"({"X-A": "secret\nX-Evil: 1"})", "\"X-A\""},
        {"https://up.example/", "sec\r\nret", "file", "", "bearer token"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.endpoint) + " " + c.field + " " + c.headersJSON);
        const auto request = buildUploadRequest({c.endpoint, c.token, c.field, c.headersJSON}, "x",
                                                "zorv.png", boundary);
        if (c.refusal.isEmpty()) {
            EXPECT_TRUE(request) << request.error().message.toStdString();
            continue;
        }
        ASSERT_FALSE(request);
        const QString message = request.error().message;
        EXPECT_TRUE(message.contains(c.refusal)) << message.toStdString();
        EXPECT_FALSE(message.contains("secret") || message.contains("sec\r"))
            << message.toStdString();
        EXPECT_FALSE(message.contains(u'\r') || message.contains(u'\n'));
    }
}

// Only an http(s) link counts; any status outside 2xx is an error that names it.
TEST(UploadReply, FindsTheLinkOrSaysWhy)
{
    const QString noLink = uploadTexts::noLink();
    const struct {
        int status;
        QByteArray body;
        QString outcome;
    } cases[] = {
        {200, R"({"url": "https://i.example/a.png", "size": 3})", "https://i.example/a.png"},
        {201, "https://i.example/b.png\r\n", "https://i.example/b.png"},
        {200, R"({"url": "http://localhost:9/c"})", "http://localhost:9/c"},
        {200, R"({"link": "https://i.example/a.png"})", noLink},
        {200, R"x({"url": "javascript:alert(1)"})x", noLink},
        {200, "file:///etc/passwd", noLink},
        {200, "ftp://i.example/a.png", noLink},
        {200, "not a link", noLink},
        {200, "https://i.example/a b.png", noLink},
        {200, "\xff\xfehttps://i.example/a.png", noLink},
        {200, "", noLink},
        {302, "https://i.example/a.png", "Upload failed with HTTP 302."},
        {401, R"({"url": "https://i.example/a.png"})", "Upload failed with HTTP 401."},
        {413, "", "Upload failed with HTTP 413."},
        {500, "", "Upload failed with HTTP 500."},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.body.toStdString());
        EXPECT_EQ(outcomeText(parseUploadReply(c.status, c.body)), c.outcome);
    }
}

// The whole exchange against real sockets: what the server receives, each
// kind of answer, redirects left unfollowed, TLS trust, and the token kept out
// of every message even when the server echoes it.
TEST(UploadService, ExchangesWithALoopbackServer)
{
    TestCertificates certificates;
    ASSERT_TRUE(certificates.make()) << "openssl could not make the test certificates";
    const QString refused = QStringLiteral("refused");
    enum class Kind { http, trusted, untrusted, closed };
    using enum Kind;
    const struct {
        const char *name;
        QByteArray response;
        Kind server;
        QString outcome; // a part of the link or the message
    } cases[] = {
        {"json", answer(200, R"({"url":"https://i.example/1.png"})"), http,
         "https://i.example/1.png"},
        {"plain", answer(201, "https://i.example/2.png\n"), http, "https://i.example/2.png"},
        {"no url", answer(200, R"({"href":"https://i.example/3"})"), http, uploadTexts::noLink()},
        {"redirect", answer(302, "", "Location: /elsewhere\r\n"), http,
         "Upload failed with HTTP 302."},
        {"401", answer(401, "no", "WWW-Authenticate: Bearer realm=\"up\"\r\n"), http,
         "Upload failed with HTTP 401."},
        {"413", answer(413, "too big"), http, "Upload failed with HTTP 413."},
        {"echo", answer(500, "bad token S3CRET-T0KEN"), http, "Upload failed with HTTP 500."},
        {"huge", answer(200, QByteArray(3 << 20, 'x')), http, "too large"},
        {"cut short", "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nhttps://i.example/7", http,
         "closed"},
        {"tls", answer(200, R"({"url":"https://i.example/4.png"})"), trusted,
         "https://i.example/4.png"},
        {"untrusted", answer(200, R"({"url":"https://i.example/5"})"), untrusted, "certificate"},
        {"closed", {}, closed, refused},
    };
    Fixture f(certificates.caPem);
    AppSettings &settings = *f.store.settings;
    settings.uploadToken.set("S3CRET-T0KEN");
    settings.uploadFieldName.set("image");
    settings.uploadHeadersJSON.set(R"({"X-Client": "zorv"})");
    const QByteArray png = ImageEncoder::pngData(test::solidImage()).value();
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QTcpServer *socket =
            c.server == trusted     ? httpsServer(certificates.signedPem, certificates.signedKey)
            : c.server == untrusted ? httpsServer(certificates.selfPem, certificates.selfKey)
                                    : new QTcpServer;
        LoopbackServer server(socket);
        server.response = c.response;
        quint16 port = server.port();
        if (c.server == closed)
            socket->close();
        const char *scheme = c.server == http || c.server == closed ? "http" : "https";
        settings.uploadEndpoint.set(
            QStringLiteral("%1://127.0.0.1:%2/up?a=1").arg(scheme).arg(port));
        const auto outcome = f.send(png);
        const QString text = outcomeText(outcome);
        EXPECT_TRUE(text.contains(c.outcome, Qt::CaseInsensitive)) << text.toStdString();
        EXPECT_FALSE(text.contains("S3CRET")) << text.toStdString();
        if (c.server != http)
            continue;
        EXPECT_EQ(server.requests, 1);
        EXPECT_TRUE(server.requestHead().startsWith("POST /up?a=1 HTTP/1.1\r\n"));
        EXPECT_EQ(server.header("Authorization"), "Bearer S3CRET-T0KEN");
        EXPECT_EQ(server.header("X-Client"), "zorv");
        const QByteArray contentType = server.header("Content-Type");
        const QByteArray mark = contentType.mid(contentType.indexOf("boundary=") + 9);
        EXPECT_EQ(contentType, "multipart/form-data; boundary=" + mark);
        EXPECT_EQ(mark.size(), 52);
        EXPECT_EQ(server.requestBody(), expectedBody(mark, "image", png));
    }
}

// A server that never answers times out and says so; with no token there is
// no Authorization header at all.
TEST(UploadService, TimesOutAndSendsNoEmptyToken)
{
    Fixture f({}, 300);
    LoopbackServer server(new QTcpServer);
    server.silent = true;
    f.store.settings->uploadEndpoint.set(QStringLiteral("http://localhost:%1/").arg(server.port()));
    const QString text = outcomeText(f.send());
    EXPECT_TRUE(text.contains("did not answer")) << text.toStdString();
    EXPECT_TRUE(server.requestHead().startsWith("POST / HTTP/1.1"));
    EXPECT_EQ(server.header("Authorization"), QByteArray());
}

// From the editor's button: no endpoint opens the settings; otherwise the
// upload waits for the keyring's token, then copies the link and says so.
TEST(UploadService, UploadWaitsForTheTokenThenCopiesTheLink)
{
    Fixture f;
    f.service.upload(test::solidImage());
    EXPECT_EQ(f.toasts, QStringList{"Configure an upload endpoint in Settings"});
    EXPECT_EQ(f.settingsOpened, 1);

    // Settings whose keyring has not answered yet.
    HeldSecretStore keyring;
    AppSettings late(
        std::make_unique<QSettings>(f.store.dir.filePath("late.ini"), QSettings::IniFormat),
        &keyring, {});
    UploadService service(
        UploadServices{&late,
                       [&f](const QString &text, const QString &, double) { f.toasts << text; },
                       [&f](const QString &text) { f.copied << text; },
                       {},
                       [] { return loadUploadTransport(); }});
    LoopbackServer server(new QTcpServer);
    server.response = answer(200, "https://i.example/6.png");
    late.uploadEndpoint.set(QStringLiteral("http://127.0.0.1:%1/").arg(server.port()));
    f.toasts.clear();
    service.upload(test::solidImage());
    QTRY_COMPARE(f.toasts, QStringList{"Uploading…"});
    QTest::qWait(50);
    EXPECT_EQ(server.requests, 0);
    ASSERT_TRUE(keyring.answer);
    keyring.answer(QStringLiteral("K3Y"));
    QTRY_COMPARE_WITH_TIMEOUT(f.copied, QStringList{"https://i.example/6.png"}, 10000);
    EXPECT_EQ(server.header("Authorization"), "Bearer K3Y");
    EXPECT_EQ(f.toasts, (QStringList{"Uploading…", "Link copied to clipboard"}));
}
