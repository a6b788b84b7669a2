#include "rkbak/failure_notification.h"

#include "core/report_lines.h"
#include "platform/session_bus.h"

#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <ostream>

namespace rk {

namespace {

QString FromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// A notification service that does not answer must not hold up the run.
constexpr int kAnswerTimeoutMs = 5000;

} // namespace

Result<void> NotifyFailure(const std::string& summary, const std::string& body) {
    const std::optional<std::string> address = platform::SessionBusAddress();
    if (!address)
        return Result<void>::Failure("no session bus is reachable");
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
    if (problem)
        return Result<void>::Failure(*problem);
    return {};
}

bool NotifyFailureOrSay(const std::string& summary, const std::string& body, std::ostream& errors) {
    const Result<void> told = NotifyFailure(summary, body);
    if (!told)
        ReportLine(errors, "the desktop was not told (" + told.reason() + ")");
    return told.ok();
}

} // namespace rk
