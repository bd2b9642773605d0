// The listing of Evolution Data Server calendars: enabled sources with the Calendar extension
// (task and memo lists carry other extensions), titled and grouped as GNOME Calendar shows them.
#include <string_view>

#include "eds/eds_calendars.h"
#include "store/color_text.h"
#include "store/identifier.h"

namespace velkor {
namespace {

std::shared_ptr<ESource> shared(ESource* source) {
  return std::shared_ptr<ESource>(source, [](ESource* s) {
    if (s != nullptr) g_object_unref(s);
  });
}

std::string backendOf(ESource* source, const char* extension) {
  if (!e_source_has_extension(source, extension)) return {};
  auto* backend = static_cast<ESourceBackend*>(e_source_get_extension(source, extension));
  return copyString(e_source_backend_get_backend_name(backend));
}

std::string hostOf(ESource* source) {
  if (!e_source_has_extension(source, E_SOURCE_EXTENSION_WEBDAV_BACKEND)) return {};
  auto* webdav = static_cast<ESourceWebdav*>(
      e_source_get_extension(source, E_SOURCE_EXTENSION_WEBDAV_BACKEND));
  GUri* uri = e_source_webdav_dup_uri(webdav);
  if (uri == nullptr) return {};
  std::string host = copyString(g_uri_get_host(uri));
  g_uri_unref(uri);
  return host;
}

// The account: the enclosing collection (an online account), else the parent source ("On This
// Computer", "On The Web", ...).
Source accountOf(ESourceRegistry* registry, ESource* source) {
  Source account;
  std::string collectionBackend;
  const ObjectRef<ESource> collection(
      e_source_registry_find_extension(registry, source, E_SOURCE_EXTENSION_COLLECTION));
  if (collection) {
    account.title = copyString(e_source_get_display_name(collection.get()));
    collectionBackend = backendOf(collection.get(), E_SOURCE_EXTENSION_COLLECTION);
  } else if (const gchar* parent = e_source_get_parent(source); parent != nullptr) {
    const ObjectRef<ESource> p(e_source_registry_ref_source(registry, parent));
    if (p) account.title = copyString(e_source_get_display_name(p.get()));
  }
  account.kind = edsAccountKind(backendOf(source, E_SOURCE_EXTENSION_CALENDAR), collectionBackend,
                                hostOf(source));
  return account;
}

}  // namespace

AccountKind edsAccountKind(std::string_view backend, std::string_view collectionBackend,
                           std::string_view host) {
  if (backend == "local") return AccountKind::kLocal;
  if (backend == "ews" || backend == "microsoft365") return AccountKind::kExchange;
  if (backend == "caldav" || backend == "google" || collectionBackend == "google") {
    return calDavKind(host);
  }
  if (backend == "webcal") return AccountKind::kSubscribed;
  if (backend == "contacts") return AccountKind::kBirthdays;
  return AccountKind::kOther;
}

std::vector<EdsCalendar> listEdsCalendars(ESourceRegistry* registry) {
  std::vector<EdsCalendar> out;
  const GListOfObjects sources(
      e_source_registry_list_enabled(registry, E_SOURCE_EXTENSION_CALENDAR));
  for (GList* l = sources.get(); l != nullptr; l = l->next) {
    auto* source = static_cast<ESource*>(l->data);
    EdsCalendar c;
    c.calendar.id = "/eds/" + identifierPart(copyString(e_source_get_uid(source)));
    c.calendar.title = copyString(e_source_get_display_name(source));
    c.calendar.source = accountOf(registry, source);
    auto* calendar = static_cast<ESourceSelectable*>(
        e_source_get_extension(source, E_SOURCE_EXTENSION_CALENDAR));
    if (const gchar* color = e_source_selectable_get_color(calendar); color != nullptr) {
      c.calendar.color = parseColor(color);
    }
    c.source = shared(static_cast<ESource*>(g_object_ref(source)));
    out.push_back(std::move(c));
  }
  return out;
}

}  // namespace velkor
