#pragma once

// GLib names a member "signals"; Qt's keyword macro must not reach its headers.
#undef signals
#include <glib-object.h>

#include <memory>

// Owners of what GLib and GMime hand out: an object released with g_object_unref, a string
// with g_free. Include in source files only, after the Qt headers.
struct GObjectDeleter {
    void operator()(gpointer object) const { g_object_unref(object); }
};
template <class T> using GObjectPtr = std::unique_ptr<T, GObjectDeleter>;

struct GFreeDeleter {
    void operator()(char* text) const { g_free(text); }
};
using GCharPtr = std::unique_ptr<char, GFreeDeleter>;
