#pragma once

#include <pthread.h>

#include <functional>

namespace kelm::testing {

// Runs `body` on a thread with a small call stack, so that a search that made one call per ply
// position would overflow it on a laminate of a few thousand plies.
inline void runOnSmallStack(std::function<void()> body, std::size_t stackBytes = 128 * 1024) {
  pthread_attr_t attributes;
  pthread_attr_init(&attributes);
  pthread_attr_setstacksize(&attributes, stackBytes);
  pthread_t thread;
  auto entry = [](void* argument) -> void* {
    (*static_cast<std::function<void()>*>(argument))();
    return nullptr;
  };
  pthread_create(&thread, &attributes, entry, &body);
  pthread_join(thread, nullptr);
  pthread_attr_destroy(&attributes);
}

}  // namespace kelm::testing
