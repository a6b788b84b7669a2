#include "platform/secret_store.h"

#include "platform/session_bus.h"

#include <cstdlib>
#include <cstring>
#include <libsecret/secret.h>

namespace rk::platform {

namespace {

const SecretSchema& JobSchema() {
    static const SecretSchema schema = {"org.ravelkeep.JobPasswords",
                                        SECRET_SCHEMA_NONE,
                                        {{"jobstore", SECRET_SCHEMA_ATTRIBUTE_STRING},
                                         {"job", SECRET_SCHEMA_ATTRIBUTE_STRING},
                                         {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING}},
                                        0,
                                        nullptr,
                                        nullptr,
                                        nullptr,
                                        nullptr,
                                        nullptr,
                                        nullptr,
                                        nullptr};
    return schema;
}

// A scheduler starts the program without the bus address; the user's bus is
// still in its usual place.
void FindSessionBus() {
    if (std::getenv("DBUS_SESSION_BUS_ADDRESS") != nullptr)
        return;
    if (const std::optional<std::string> address = SessionBusAddress())
        setenv("DBUS_SESSION_BUS_ADDRESS", address->c_str(), 1);
}

std::string TakeError(GError*& error) {
    std::string text = error != nullptr && error->message != nullptr ? error->message : "";
    g_clear_error(&error);
    return text;
}

struct Attributes {
    GHashTable* table = nullptr;
    explicit Attributes(const SecretOwner& owner)
        : table(secret_attributes_build(&JobSchema(), "jobstore", owner.storeFolder.c_str(), "job",
                                        owner.jobName.c_str(), nullptr)) {}
    ~Attributes() {
        if (table != nullptr)
            g_hash_table_unref(table);
    }
    Attributes(const Attributes&) = delete;
    Attributes& operator=(const Attributes&) = delete;
};

struct Service {
    SecretService* service = nullptr;
    std::string problem;
    Service() {
        FindSessionBus();
        if (std::getenv("DBUS_SESSION_BUS_ADDRESS") == nullptr) {
            problem = "there is no session bus to reach the desktop's keyring";
            return;
        }
        GError* error = nullptr;
        service = secret_service_get_sync(SECRET_SERVICE_OPEN_SESSION, nullptr, &error);
        if (service == nullptr)
            problem =
                "the desktop's keyring (Secret Service) cannot be reached: " + TakeError(error);
    }
    ~Service() {
        if (service != nullptr)
            g_object_unref(service);
    }
    Service(const Service&) = delete;
    Service& operator=(const Service&) = delete;
};

void FreeItems(GList* items) {
    g_list_free_full(items, g_object_unref);
}

// True when the default keyring (else any keyring) is locked.
bool AKeyringIsLocked(SecretService* service) {
    GError* error = nullptr;
    SecretCollection* collection = secret_collection_for_alias_sync(
        service, SECRET_COLLECTION_DEFAULT, SECRET_COLLECTION_NONE, nullptr, &error);
    g_clear_error(&error);
    if (collection != nullptr) {
        const bool locked = secret_collection_get_locked(collection);
        g_object_unref(collection);
        return locked;
    }
    if (!secret_service_load_collections_sync(service, nullptr, &error)) {
        g_clear_error(&error);
        return false;
    }
    GList* collections = secret_service_get_collections(service);
    bool locked = false;
    for (GList* at = collections; at != nullptr; at = at->next)
        locked = locked || secret_collection_get_locked(SECRET_COLLECTION(at->data));
    FreeItems(collections);
    return locked;
}

} // namespace

KeyringAnswer ReadKeyringPasswords(const SecretOwner& owner, bool mayAskToUnlock) {
    KeyringAnswer answer;
    Service service;
    if (service.service == nullptr) {
        answer.state = KeyringState::Unavailable;
        answer.problem = service.problem;
        return answer;
    }
    Attributes attributes(owner);
    GError* error = nullptr;
    const int flags = SECRET_SEARCH_ALL | SECRET_SEARCH_LOAD_SECRETS |
                      (mayAskToUnlock ? SECRET_SEARCH_UNLOCK : 0);
    GList* items =
        secret_service_search_sync(service.service, &JobSchema(), attributes.table,
                                   static_cast<SecretSearchFlags>(flags), nullptr, &error);
    if (error != nullptr) {
        answer.state = KeyringState::Failed;
        answer.problem = "the desktop's keyring could not be searched: " + TakeError(error);
        FreeItems(items);
        return answer;
    }
    for (GList* at = items; at != nullptr; at = at->next) {
        SecretItem* item = SECRET_ITEM(at->data);
        if (secret_item_get_locked(item)) {
            answer.state = KeyringState::Locked;
            answer.problem = "the desktop's keyring is locked";
            continue;
        }
        SecretValue* value = secret_item_get_secret(item);
        if (value == nullptr)
            continue;
        gsize length = 0;
        const gchar* bytes = secret_value_get(value, &length);
        std::string text(bytes, length);
        secret_value_unref(value);
        answer.passwords = PasswordsOfText(text);
        ClearSecretText(text);
        answer.state = KeyringState::Ready;
        answer.problem.clear();
        break;
    }
    FreeItems(items);
    // A locked keyring may hide the job's item from the search: it may hold
    // it all the same.
    if (answer.passwords.empty() && answer.state == KeyringState::Ready &&
        AKeyringIsLocked(service.service)) {
        answer.state = KeyringState::Locked;
        answer.problem = "the desktop's keyring is locked";
    }
    return answer;
}

Result<void> StoreKeyringPasswords(const SecretOwner& owner,
                                   const std::vector<std::string>& passwords) {
    Service service;
    if (service.service == nullptr)
        return Result<void>::Failure(service.problem);
    std::string text = TextOfPasswords(passwords);
    const std::string label = "Ravelkeep backup job \"" + owner.jobName + "\"";
    Attributes attributes(owner);
    GError* error = nullptr;
    const gboolean stored =
        secret_password_storev_sync(&JobSchema(), attributes.table, SECRET_COLLECTION_DEFAULT,
                                    label.c_str(), text.c_str(), nullptr, &error);
    ClearSecretText(text);
    if (!stored)
        return Result<void>::Failure("the password could not be stored in the desktop's keyring: " +
                                     TakeError(error));
    return {};
}

Result<void> ForgetKeyringPasswords(const SecretOwner& owner) {
    Service service;
    if (service.service == nullptr)
        return Result<void>::Failure(service.problem);
    Attributes attributes(owner);
    GError* error = nullptr;
    secret_password_clearv_sync(&JobSchema(), attributes.table, nullptr, &error);
    if (error != nullptr)
        return Result<void>::Failure(
            "the passwords could not be removed from the desktop's keyring: " + TakeError(error));
    return {};
}

} // namespace rk::platform
