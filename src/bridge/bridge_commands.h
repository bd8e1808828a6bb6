// The bridge commands: the page's whole native programming interface, each a
// BridgeCommandHandler registered under its name.
#ifndef SRC_BRIDGE_BRIDGE_COMMANDS_H_
#define SRC_BRIDGE_BRIDGE_COMMANDS_H_

#include "bridge/bridge_router.h"
#include "bridge/bridge_services.h"

// Fills |table|, in a fixed order, with commands that call |services|; the table
// keeps them alive. Called once at start-up, after the main window exists. UI
// thread.
void RegisterBridgeCommands(BridgeCommandTable& table, const BridgeServices& services);

#endif  // SRC_BRIDGE_BRIDGE_COMMANDS_H_
