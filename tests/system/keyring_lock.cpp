#include "keyring_lock.h"

#include <libsecret/secret.h>

namespace rk::test {

namespace {

std::string Taken(GError*& error, const std::string& what) {
    std::string text = what + ": " + (error != nullptr ? error->message : "no reason given");
    g_clear_error(&error);
    return text;
}

} // namespace

bool DefaultKeyringReady() {
    GError* error = nullptr;
    SecretService* service = secret_service_get_sync(SECRET_SERVICE_NONE, nullptr, &error);
    if (service == nullptr) {
        g_clear_error(&error);
        return false;
    }
    SecretCollection* collection = secret_collection_for_alias_sync(
        service, SECRET_COLLECTION_DEFAULT, SECRET_COLLECTION_NONE, nullptr, &error);
    g_clear_error(&error);
    g_object_unref(service);
    if (collection == nullptr)
        return false;
    const bool ready = !secret_collection_get_locked(collection);
    g_object_unref(collection);
    return ready;
}

std::string LockDefaultKeyring() {
    GError* error = nullptr;
    SecretService* service =
        secret_service_get_sync(SECRET_SERVICE_LOAD_COLLECTIONS, nullptr, &error);
    if (service == nullptr)
        return Taken(error, "no Secret Service");
    SecretCollection* collection = secret_collection_for_alias_sync(
        service, SECRET_COLLECTION_DEFAULT, SECRET_COLLECTION_NONE, nullptr, &error);
    if (collection == nullptr) {
        g_object_unref(service);
        return Taken(error, "no default collection");
    }
    GList* objects = g_list_append(nullptr, collection);
    const gint locked = secret_service_lock_sync(service, objects, nullptr, nullptr, &error);
    g_list_free(objects);
    g_object_unref(collection);
    g_object_unref(service);
    if (locked <= 0)
        return Taken(error, "not locked");
    return {};
}

} // namespace rk::test
