// Holders that release what GLib and its libraries hand over: object references, errors, strings,
// lists of objects, main contexts.
#pragma once

#include <glib-object.h>

#include <memory>
#include <string>

namespace velkor {

struct ObjectUnref {
  void operator()(gpointer object) const { g_object_unref(object); }
};
template <typename T>
using ObjectRef = std::unique_ptr<T, ObjectUnref>;

struct GFreeDeleter {
  void operator()(gpointer p) const { g_free(p); }
};
using CharRef = std::unique_ptr<gchar, GFreeDeleter>;

struct ContextUnref {
  void operator()(GMainContext* c) const { g_main_context_unref(c); }
};
using ContextRef = std::unique_ptr<GMainContext, ContextUnref>;

struct VariantUnref {
  void operator()(GVariant* v) const { g_variant_unref(v); }
};
using VariantRef = std::unique_ptr<GVariant, VariantUnref>;

// A GError out-parameter, freed with its holder.
class ErrorSlot {
 public:
  ErrorSlot() = default;
  ~ErrorSlot() {
    if (error_ != nullptr) g_error_free(error_);
  }
  ErrorSlot(const ErrorSlot&) = delete;
  ErrorSlot& operator=(const ErrorSlot&) = delete;
  GError** out() { return &error_; }
  explicit operator bool() const { return error_ != nullptr; }

 private:
  GError* error_ = nullptr;
};

// A GSList of object references, as the calendar and registry calls return them.
class ObjectList {
 public:
  ObjectList() = default;
  explicit ObjectList(GSList* list) : list_(list) {}
  ~ObjectList() { g_slist_free_full(list_, g_object_unref); }
  ObjectList(const ObjectList&) = delete;
  ObjectList& operator=(const ObjectList&) = delete;
  GSList** out() { return &list_; }
  GSList* get() const { return list_; }

 private:
  GSList* list_ = nullptr;
};

class GListOfObjects {
 public:
  explicit GListOfObjects(GList* list) : list_(list) {}
  ~GListOfObjects() { g_list_free_full(list_, g_object_unref); }
  GListOfObjects(const GListOfObjects&) = delete;
  GListOfObjects& operator=(const GListOfObjects&) = delete;
  GList* get() const { return list_; }

 private:
  GList* list_ = nullptr;
};

// A text GLib gives away, as a string; empty for none.
inline std::string takeString(gchar* text) {
  const CharRef held(text);
  return text != nullptr ? std::string(text) : std::string();
}

inline std::string copyString(const gchar* text) {
  return text != nullptr ? std::string(text) : std::string();
}

}  // namespace velkor
