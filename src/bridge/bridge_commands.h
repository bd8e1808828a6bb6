// The bridge commands: the page's whole native programming interface, each a
// BridgeCommandHandler registered under its name.
#ifndef SRC_BRIDGE_BRIDGE_COMMANDS_H_
#define SRC_BRIDGE_BRIDGE_COMMANDS_H_

// Fills the bridge command table, in a fixed order. Called once at start-up, after
// the main window exists. UI thread.
void RegisterBridgeCommands();

#endif  // SRC_BRIDGE_BRIDGE_COMMANDS_H_
