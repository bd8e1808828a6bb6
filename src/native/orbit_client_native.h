// The desktop side of the one client: keeps the main browser reference, ends the
// message loop when the last browser has closed, hides the main window instead of
// closing it, lets no page stay open once the program quits, and titles browser
// windows.
#ifndef SRC_NATIVE_ORBIT_CLIENT_NATIVE_H_
#define SRC_NATIVE_ORBIT_CLIENT_NATIVE_H_

#include "client/orbit_client.h"

class OrbitClientNative : public OrbitClient {
 public:
  // LifeSpanHandler
  bool DoClose(const std::shared_ptr<engine::Browser>& browser) override;

  // DisplayHandler
  void OnTitleChange(const std::shared_ptr<engine::Browser>& browser,
                     const std::string& title) override;

  // JSDialogHandler
  bool OnBeforeUnloadDialog(const std::shared_ptr<engine::Browser>& browser,
                            bool& leave) override;

 protected:
  void OnFirstBrowserCreated(const std::shared_ptr<engine::Browser>& browser) override;
  void OnLastBrowserClosed() override;
};

#endif  // SRC_NATIVE_ORBIT_CLIENT_NATIVE_H_
