#include "app/app_identity.h"

#include <filesystem>

#include "lumio_identity.h"

namespace {

std::filesystem::path InstallPrefix() {
  std::error_code error;
  const std::filesystem::path exe =
      std::filesystem::read_symlink("/proc/self/exe", error);
  if (error)
    return {};
  return exe.parent_path().parent_path();
}

}  // namespace

const AppIdentity& BuiltAppIdentity() {
  static const AppIdentity identity{
      lumio_identity::kName,   lumio_identity::kVersion, lumio_identity::kDesktopId,
      lumio_identity::kFolder, lumio_identity::kBusName, lumio_identity::kObjectPath,
  };
  return identity;
}

std::string InstalledPackPath() {
  const std::filesystem::path prefix = InstallPrefix();
  if (prefix.empty())
    return {};
  return prefix / "share" / lumio_identity::kDataDir / "lumio.pak";
}

std::string InstalledHelperPath() {
  const std::filesystem::path prefix = InstallPrefix();
  if (prefix.empty())
    return {};
  return prefix / "libexec" / lumio_identity::kDataDir / lumio_identity::kHelper;
}

std::string InstanceSocketName() {
  return std::string(lumio_identity::kDesktopId) + ".socket";
}
