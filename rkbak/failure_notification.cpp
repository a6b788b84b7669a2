#include "rkbak/failure_notification.h"

#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <cstdlib>
#include <sys/stat.h>

namespace rk {

namespace {

QString FromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// A notification service that does not answer must not hold up the run.
constexpr int kAnswerTimeoutMs = 5000;

} // namespace

std::optional<std::string> SessionBusAddress() {
    if (const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
        address != nullptr && *address != '\0')
        return std::string(address);
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime == nullptr || runtime[0] != '/')
        return std::nullopt;
    const std::string socket = std::string(runtime) + "/bus";
    struct stat info {};
    if (stat(socket.c_str(), &info) != 0 || !S_ISSOCK(info.st_mode))
        return std::nullopt;
    return "unix:path=" + socket;
}

std::optional<std::string> NotifyFailure(const std::string& summary, const std::string& body) {
    const std::optional<std::string> address = SessionBusAddress();
    if (!address)
        return std::string("no session bus is reachable");
    const QString connectionName = "ravelkeep-notification";
    std::optional<std::string> problem;
    {
        QDBusConnection bus = QDBusConnection::connectToBus(FromUtf8(*address), connectionName);
        if (!bus.isConnected()) {
            problem =
                "cannot connect to the session bus: " + bus.lastError().message().toStdString();
        } else {
            QDBusMessage call = QDBusMessage::createMethodCall(
                "org.freedesktop.Notifications", "/org/freedesktop/Notifications",
                "org.freedesktop.Notifications", "Notify");
            QVariantMap hints;
            hints.insert("urgency", QVariant::fromValue<uchar>(2)); // critical
            hints.insert("desktop-entry", QString("ravelkeep"));
            call << QString("Ravelkeep") << 0u << QString("ravelkeep") << FromUtf8(summary)
                 << FromUtf8(body) << QStringList() << hints << -1;
            const QDBusMessage reply = bus.call(call, QDBus::Block, kAnswerTimeoutMs);
            if (reply.type() != QDBusMessage::ReplyMessage)
                problem = "the notification service did not take it: " +
                          reply.errorMessage().toStdString();
        }
    }
    QDBusConnection::disconnectFromBus(connectionName);
    return problem;
}

} // namespace rk
