// GEOS, the geometry library, through its reentrant C interface: one context for each
// thread that uses it, owners that free GEOS's objects on that context, and the message of
// the last error GEOS reported there, which the C interface would otherwise drop.
//
// A GEOS call that fails returns a null pointer or 0 and tells only the context's error
// handler why. Clear the error before a run of calls, and read it when one of them fails.
// Only plot/ sees this header: GEOS is a private dependency of the library.
#pragma once

#include <geos_c.h>

#include <memory>
#include <string>
#include <vector>

namespace fiberview {

struct GeosGeometryDeleter {
  GEOSContextHandle_t context;
  void operator()(GEOSGeometry* g) const { GEOSGeom_destroy_r(context, g); }
};
using GeosGeometry = std::unique_ptr<GEOSGeometry, GeosGeometryDeleter>;

class GeosHandle {
 public:
  // The calling thread's handle, made on its first use and finished when the thread ends.
  // A GEOS context serves one thread at a time, and regions are built on workers too.
  static GeosHandle& forThisThread();

  GeosHandle(const GeosHandle&) = delete;
  GeosHandle& operator=(const GeosHandle&) = delete;
  ~GeosHandle();

  GEOSContextHandle_t context() const { return context_; }

  // The owner of a geometry a GEOS call returned; it holds null when the call failed.
  GeosGeometry own(GEOSGeometry* g) const { return GeosGeometry(g, {context_}); }
  // A collection of `type` (GEOS_MULTIPOINT, GEOS_MULTIPOLYGON, ...) of `parts`, which it
  // takes over; null when a part is null or GEOS fails.
  GeosGeometry collect(int type, std::vector<GeosGeometry> parts) const;

  // GEOS's message for the last error since clearError(), as GEOS words it; empty when
  // there was none.
  const std::string& lastError() const { return lastError_; }
  void clearError() { lastError_.clear(); }

 private:
  GeosHandle();
  static void keepError(const char* message, void* handle);

  GEOSContextHandle_t context_;
  std::string lastError_;
};

}  // namespace fiberview
