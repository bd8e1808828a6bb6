// The user-agent string the program sends: the engine's default with the program's
// product token in place of the engine's own.
#ifndef SRC_ENGINE_QT_USER_AGENT_H_
#define SRC_ENGINE_QT_USER_AGENT_H_

#include <string>

// In |default_user_agent| (Qt WebEngine's, "... (KHTML, like Gecko)
// QtWebEngine/6.4.2 Chrome/102.0.5005.177 Safari/537.36"), drops the
// "QtWebEngine/<version>" token and puts |product| in place of the
// "Chrome/<version>" token. Without a Chrome token, |product| goes before
// " Safari/", or at the end when there is no Safari token either. An empty
// |product| leaves the string unchanged.
std::string UserAgentWithProduct(const std::string& default_user_agent,
                                 const std::string& product);

#endif  // SRC_ENGINE_QT_USER_AGENT_H_
