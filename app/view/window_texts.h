#pragma once

// The texts of the window modes that do not come from the node: the document's title and the
// caption it makes, and the about box's version texts.

#include <string>

namespace ruzd::app {

// A window attached to a service is titled by the service's address ("Remote Vesmarin
// Address"), one that drives the hardware by the computer's name; empty when neither is known.
std::string DocumentTitle(bool attachedWindow);
// "<title> - Pelwix".
std::string FrameCaption(const std::string& title);

struct AboutTexts {
    std::string currentFolder;
    std::string product;
    std::string description;
    std::string version;
    std::string legalNotice;
    std::string company;
    std::string build;
};

// From the running program's version block; "Distribution version" when it names no private
// build. The version is the program's file version followed by the window toolkit's versions in
// brackets (`toolkitVersions`, as the toolkit reports them while it runs; none when empty).
AboutTexts LoadAboutTexts(const std::string& toolkitVersions);

}  // namespace ruzd::app
