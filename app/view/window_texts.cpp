#include "app/view/window_texts.h"

#include <filesystem>
#include <system_error>

#include "foundation/module_version.h"
#include "foundation/registry.h"
#include "platform/computer_name.h"

namespace ruzd::app {

namespace {
// What the title's registry buffer holds, and the longest current folder the box shows.
constexpr size_t kAddressBufferChars = 253;
constexpr size_t kMaxFolderChars = 259;
}  // namespace

std::string DocumentTitle(bool attachedWindow) {
    if (attachedWindow) {
        foundation::CRegistry registry("Pelwix");
        std::string address;
        if (!registry.ReadString("Remote Vesmarin Address", address)) {
            return {};
        }
        return address.substr(0, kAddressBufferChars);
    }
    return platform::ComputerName().value_or(std::string());
}

std::string FrameCaption(const std::string& title) {
    return title + " - Pelwix";
}

AboutTexts LoadAboutTexts(const std::string& toolkitVersions) {
    AboutTexts texts;
    std::error_code error;
    const std::string folder = std::filesystem::current_path(error).string();
    if (!error && !folder.empty() && folder.size() <= kMaxFolderChars) {
        texts.currentFolder = folder;
    }
    foundation::CModuleVersion version;
    version.Load();
    texts.product = version.GetValue("ProductName");
    texts.description = version.GetValue("FileDescription");
    texts.legalNotice = version.GetValue("LegalCopyright");
    texts.company = version.GetValue("CompanyName");
    texts.build = version.GetValue("PrivateBuild");
    texts.version = version.GetFileVersionString();
    if (!toolkitVersions.empty()) {
        texts.version += "  (" + toolkitVersions + ")";
    }
    if (texts.build.empty()) {
        texts.build = "Distribution version";
    }
    return texts;
}

}  // namespace ruzd::app
