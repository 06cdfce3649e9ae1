#pragma once

// The entry point of the network module (libzorv-upload.so), which Zorv loads
// with QLibrary at the first upload: QtNetwork and what it brings (proxy
// discovery, Kerberos) then cost nothing in the resident process until needed.

#include "common/Expected.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>
#include <functional>
#include <utility>

#define ZORV_UPLOAD_EXPORT __attribute__((visibility("default")))

namespace zorv
{

// What the user sees when an upload cannot go ahead or fails; never holds the token.
struct UploadFailure {
    QString message;
};

// One multipart/form-data POST, ready to send.
struct UploadRequest {
    QUrl url;
    QByteArray boundary;
    // In the order they are sent; names are unique regardless of case.
    QList<std::pair<QByteArray, QByteArray>> headers;
    QByteArray body;
};

// What came back from the server: its status and the whole body.
struct UploadReply {
    int status = 0;
    QByteArray body;
};

// Sends upload requests; lives on the GUI thread and calls back there.
class UploadTransport
{
  public:
    using Completion = std::function<void(Expected<UploadReply, UploadFailure>)>;
    virtual ~UploadTransport() = default;
    // Posts the request without following redirects. A connection, TLS or
    // timeout failure gives its description; a server that sends nothing for
    // `timeoutMs` times out.
    virtual void post(const UploadRequest &request, int timeoutMs, Completion completion) = 0;
};

} // namespace zorv

extern "C" {
// A transport that trusts the system's certificate authorities and, when
// `extraCaPem` is not empty, also the PEM certificates it holds. The caller owns it.
using ZorvUploadTransport = zorv::UploadTransport *(*)(const QByteArray &extraCaPem);
}
