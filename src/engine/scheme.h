// Custom scheme handlers: a factory makes one handler per request, or none when it
// has nothing to serve (the request then fails as "not found").
#ifndef SRC_ENGINE_SCHEME_H_
#define SRC_ENGINE_SCHEME_H_

#include <memory>
#include <string>

#include "engine/client.h"

namespace engine {

// A complete response held in memory: status 200 with a MIME type and a body.
class ResourceHandler {
 public:
  ResourceHandler(std::string mime_type,
                  std::shared_ptr<const std::string> data,
                  bool no_store = false)
      : mime_type_(std::move(mime_type)), data_(std::move(data)), no_store_(no_store) {}
  const std::string& mime_type() const { return mime_type_; }
  // The engine must keep no copy of the response (Cache-Control: no-store), so a
  // plain reload asks again. Engines that cannot say it ignore it.
  bool no_store() const { return no_store_; }
  const std::string& data() const { return *data_; }
  std::shared_ptr<const std::string> shared_data() const { return data_; }

 private:
  std::string mime_type_;
  std::shared_ptr<const std::string> data_;
  bool no_store_ = false;
};

class SchemeHandlerFactory {
 public:
  virtual ~SchemeHandlerFactory() = default;
  // May be called on any engine thread. |browser| and |frame| may be null.
  virtual std::shared_ptr<ResourceHandler> Create(const std::shared_ptr<Browser>& browser,
                                                  const std::shared_ptr<Frame>& frame,
                                                  const std::string& scheme_name,
                                                  const Request& request) = 0;
};

}  // namespace engine

#endif  // SRC_ENGINE_SCHEME_H_
