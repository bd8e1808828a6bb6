// Serves "app://lumio/<path>" from the application pack (or, in development mode, a
// folder): the URL path, without its leading "/" and with percent-escapes left as
// they are, names the pack entry.
#ifndef SRC_RESOURCES_SCHEME_HANDLER_FACTORY_H_
#define SRC_RESOURCES_SCHEME_HANDLER_FACTORY_H_

#include <memory>
#include <string>

#include "engine/scheme.h"
#include "resources/pack_source.h"

// Called on the engine's IO thread; its only state is the pack, which is filled
// before the factory is registered and read-only afterwards.
class OrbitZipArchiveSchemeHandlerFactory : public engine::SchemeHandlerFactory {
 public:
  explicit OrbitZipArchiveSchemeHandlerFactory(std::shared_ptr<const PackSource> archive);

  // SchemeHandlerFactory
  // Null when the host is not "lumio", the path names no entry (the bare "/"
  // included) or the pack has no such file.
  std::shared_ptr<engine::ResourceHandler> Create(
      const std::shared_ptr<engine::Browser>& browser,
      const std::shared_ptr<engine::Frame>& frame,
      const std::string& scheme_name,
      const engine::Request& request) override;

 private:
  std::shared_ptr<const PackSource> archive_;
};

#endif  // SRC_RESOURCES_SCHEME_HANDLER_FACTORY_H_
