// Finding Evolution Data Server without waiting on it: the session bus from the environment, the
// registry's bus name owned or activatable, then the registry with its built-in sources, each
// step bounded by one deadline. A registry that cannot start "succeeds" with no sources at all,
// hence the check for the built-in calendar.
#include "eds/eds_session.h"

#include <cstdlib>
#include <mutex>

namespace velkor {
namespace {

// The registry's bus name in the EDS versions this builds against (3.x since 3.36).
constexpr const char* kRegistryName = "org.gnome.evolution.dataserver.Sources5";
// Every registry has it; an empty registry did not load its own sources.
constexpr const char* kBuiltinCalendar = "system-calendar";

GLogWriterOutput dropStructured(GLogLevelFlags, const GLogField*, gsize, gpointer) {
  return G_LOG_WRITER_HANDLED;
}
void dropMessage(const gchar*, GLogLevelFlags, const gchar*, gpointer) {}
void dropPrint(const gchar*) {}

// Standard error carries usage lines only, and GLib's warnings and criticals would go there. Its
// log writer is process-wide and may be set once.
void silenceGLib() {
  static std::once_flag once;
  std::call_once(once, [] {
    g_log_set_writer_func(dropStructured, nullptr, nullptr);
    g_log_set_default_handler(dropMessage, nullptr);
    g_set_printerr_handler(dropPrint);
  });
}

unsigned remainingMs(Deadline deadline) {
  const auto left =
      std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
  return left.count() > 0 ? static_cast<unsigned>(left.count()) : 1U;
}

struct BusAnswer {
  ObjectRef<GDBusConnection> bus;
  bool done = false;
};

void onBus(GObject*, GAsyncResult* result, gpointer data) {
  auto* answer = static_cast<BusAnswer*>(data);
  ErrorSlot error;
  answer->bus.reset(g_bus_get_finish(result, error.out()));
  answer->done = true;
}

struct NameAnswer {
  int pending = 2;
  bool found = false;
};

void onHasOwner(GObject* bus, GAsyncResult* result, gpointer data) {
  auto* answer = static_cast<NameAnswer*>(data);
  ErrorSlot error;
  const VariantRef reply(
      g_dbus_connection_call_finish(G_DBUS_CONNECTION(bus), result, error.out()));
  gboolean owned = FALSE;
  if (reply) g_variant_get(reply.get(), "(b)", &owned);
  answer->found = answer->found || owned != FALSE;
  --answer->pending;
}

void onActivatable(GObject* bus, GAsyncResult* result, gpointer data) {
  auto* answer = static_cast<NameAnswer*>(data);
  ErrorSlot error;
  const VariantRef reply(
      g_dbus_connection_call_finish(G_DBUS_CONNECTION(bus), result, error.out()));
  if (reply) {
    const gchar** names = nullptr;
    g_variant_get(reply.get(), "(^a&s)", &names);
    for (const gchar** n = names; n != nullptr && *n != nullptr; ++n) {
      if (g_strcmp0(*n, kRegistryName) == 0) answer->found = true;
    }
    g_free(static_cast<gpointer>(names));
  }
  --answer->pending;
}

struct RegistryAnswer {
  ObjectRef<ESourceRegistry> registry;
  bool done = false;
};

void onRegistry(GObject*, GAsyncResult* result, gpointer data) {
  auto* answer = static_cast<RegistryAnswer*>(data);
  ErrorSlot error;
  answer->registry.reset(e_source_registry_new_finish(result, error.out()));
  answer->done = true;
}

void askBus(GDBusConnection* bus, const char* method, GVariant* args, const char* replyType,
            GAsyncReadyCallback callback, NameAnswer* answer, GCancellable* cancellable,
            Deadline deadline) {
  g_dbus_connection_call(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                         "org.freedesktop.DBus", method, args, G_VARIANT_TYPE(replyType),
                         G_DBUS_CALL_FLAGS_NONE, static_cast<gint>(remainingMs(deadline)),
                         cancellable, callback, answer);
}

}  // namespace

EdsSession::EdsSession() : context_(g_main_context_new()), cancellable_(g_cancellable_new()) {
  g_main_context_push_thread_default(context_.get());
}

EdsSession::~EdsSession() {
  registry_.reset();
  g_main_context_pop_thread_default(context_.get());
}

std::unique_ptr<EdsSession> EdsSession::open(Deadline deadline) {
  const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
  if (address == nullptr || address[0] == '\0') return nullptr;
  silenceGLib();
  std::unique_ptr<EdsSession> s(new EdsSession);

  auto bus = std::make_shared<BusAnswer>();
  s->keep(bus);
  g_bus_get(G_BUS_TYPE_SESSION, s->cancellable(), onBus, bus.get());
  if (!s->runUntil(deadline, [&] { return bus->done; }) || !bus->bus) return nullptr;
  // The bus going away later must not end the process.
  g_dbus_connection_set_exit_on_close(bus->bus.get(), FALSE);

  auto name = std::make_shared<NameAnswer>();
  s->keep(name);
  askBus(bus->bus.get(), "NameHasOwner", g_variant_new("(s)", kRegistryName), "(b)", onHasOwner,
         name.get(), s->cancellable(), deadline);
  askBus(bus->bus.get(), "ListActivatableNames", nullptr, "(as)", onActivatable, name.get(),
         s->cancellable(), deadline);
  if (!s->runUntil(deadline, [&] { return name->found || name->pending == 0; }) || !name->found) {
    return nullptr;
  }

  auto registry = std::make_shared<RegistryAnswer>();
  s->keep(registry);
  e_source_registry_new(s->cancellable(), onRegistry, registry.get());
  if (!s->runUntil(deadline, [&] { return registry->done; }) || !registry->registry) {
    return nullptr;
  }
  const ObjectRef<ESource> builtin(
      e_source_registry_ref_source(registry->registry.get(), kBuiltinCalendar));
  if (!builtin) return nullptr;
  s->registry_ = std::move(registry->registry);
  return s;
}

bool EdsSession::runUntil(Deadline deadline, const std::function<bool()>& done) {
  while (!done()) {
    if (std::chrono::steady_clock::now() >= deadline) {
      g_cancellable_cancel(cancellable_.get());
      cancellable_.reset(g_cancellable_new());
      return false;
    }
    // A timer on the context so that the wait for the next callback ends at the deadline.
    GSource* timer = g_timeout_source_new(remainingMs(deadline));
    g_source_set_callback(
        timer, [](gpointer) -> gboolean { return G_SOURCE_REMOVE; }, nullptr, nullptr);
    g_source_attach(timer, context_.get());
    g_main_context_iteration(context_.get(), TRUE);
    g_source_destroy(timer);
    g_source_unref(timer);
  }
  return true;
}

}  // namespace velkor
