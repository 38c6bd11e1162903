#include "plot/geos_handle.h"

#include <algorithm>

namespace fiberview {

GeosHandle& GeosHandle::forThisThread() {
  thread_local GeosHandle handle;
  return handle;
}

GeosHandle::GeosHandle() : context_(GEOS_init_r()) {
  GEOSContext_setErrorMessageHandler_r(context_, &GeosHandle::keepError, this);
}

GeosHandle::~GeosHandle() {
  GEOS_finish_r(context_);
}

GeosGeometry GeosHandle::collect(int type, std::vector<GeosGeometry> parts) const {
  if (std::any_of(parts.begin(), parts.end(), [](const GeosGeometry& p) { return !p; })) {
    return own(nullptr);
  }
  std::vector<GEOSGeometry*> taken;
  taken.reserve(parts.size());
  for (GeosGeometry& p : parts) taken.push_back(p.release());
  // GEOS owns the parts from the call on, whether or not it makes the collection.
  return own(GEOSGeom_createCollection_r(context_, type, taken.data(),
                                         static_cast<unsigned>(taken.size())));
}

void GeosHandle::keepError(const char* message, void* handle) {
  static_cast<GeosHandle*>(handle)->lastError_ = message != nullptr ? message : "";
}

}  // namespace fiberview
