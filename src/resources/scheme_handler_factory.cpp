#include "resources/scheme_handler_factory.h"

#include <utility>

#include "engine/url_parts.h"
#include "lumio_protocol.h"
#include "resources/mime_types.h"

OrbitZipArchiveSchemeHandlerFactory::OrbitZipArchiveSchemeHandlerFactory(
    std::shared_ptr<const PackSource> archive)
    : archive_(std::move(archive)) {}

std::shared_ptr<engine::ResourceHandler> OrbitZipArchiveSchemeHandlerFactory::Create(
    const std::shared_ptr<engine::Browser>& browser,
    const std::shared_ptr<engine::Frame>& frame,
    const std::string& scheme_name,
    const engine::Request& request) {
  engine::URLParts parts;
  if (!archive_ || !engine::ParseURL(request.GetURL(), parts))
    return nullptr;
  // The engine registers this factory for the app's host only; a request for
  // another host must not be answered from our pack should it ever get here.
  if (parts.host != protocol::kAppHost)
    return nullptr;
  const std::string& path = parts.path;
  if (path.size() < 2)
    return nullptr;
  std::shared_ptr<const std::string> data = archive_->GetFile(path.substr(1));
  if (!data)
    return nullptr;
  // The MIME type comes from the path as requested, so Index.HTML is text/plain.
  return std::make_shared<engine::ResourceHandler>(MimeTypeForPath(path), std::move(data),
                                                   archive_->ReadsAfresh());
}
