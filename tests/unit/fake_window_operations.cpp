// Link seam: the tests' definitions of the main window operations.
#include "native/window_operations.h"

#include "fakes.h"

std::vector<std::string>& FakeCallLog() {
  static std::vector<std::string> log;
  return log;
}

FakeWindowOperationCalls& FakeWindowOperations() {
  static FakeWindowOperationCalls calls;
  return calls;
}

void ResetFakes() {
  FakeWindowOperations() = FakeWindowOperationCalls();
  FakeCallLog().clear();
}

void MainWindowShow() {
  ++FakeWindowOperations().show;
  FakeCallLog().push_back("MainWindowShow");
}

void MainWindowHide() {
  ++FakeWindowOperations().hide;
  FakeCallLog().push_back("MainWindowHide");
}
