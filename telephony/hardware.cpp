#include "telephony/hardware.h"

#include <string>

#include "foundation/fatal_error_box.h"
#include "telephony/app_message_box.h"
#include "telephony/vendor_log.h"

namespace ruzd::telephony {
namespace {

// The fatal error reported when the node has no vendor path at all.
constexpr int kNoVendorPathError = 30;

std::atomic<CHardware*> g_published_hardware{nullptr};

// How the loading of one required Dialogic library went.
enum class LoadOutcome { kComplete, kNotLoaded, kIncomplete };

template <typename Table>
LoadOutcome OutcomeOf(const Table& table) {
    if (!table.IsLoaded())
        return LoadOutcome::kNotLoaded;
    return table.AllFunctionsLoaded() ? LoadOutcome::kComplete : LoadOutcome::kIncomplete;
}

// Rows 3 to 6 of the chain: a library the Dialogic path cannot do without. Returns whether the
// path is still available; the table stays in place either way.
template <typename Table>
bool RequireDialogicLibrary(const Table& table) {
    switch (OutcomeOf(table)) {
        case LoadOutcome::kComplete:
            return true;
        case LoadOutcome::kNotLoaded:
            ShowAppMessageBox("Could not load " + table.GetName());
            return false;
        case LoadOutcome::kIncomplete:
            ShowAppMessageBox("Could not load one of the functions declared in " + table.GetName());
            return false;
    }
    return false;
}

// The texts of one Aculab library's failures.
struct AculabTexts {
    const char* box_not_loaded;  // shown only when the Dialogic path is unavailable as well
    const char* log_not_loaded;
    const char* box_incomplete;
};

}  // namespace

CHardware::CHardware(uint32_t creator_thread_id, bool global_call_only, AculabPath aculab)
    : global_call_only_(global_call_only) {
    aculab_available_ = aculab == AculabPath::kSwitchedOnForTests;

    if (global_call_only_) {
        LoadGlobalCallOnly();
    } else {
        LoadDialogicAndAmtelco();
        LoadAculab();
    }

    if (!intel_available_ && !aculab_available_)
        foundation::FatalErrorBox(kNoVendorPathError);

    creator_thread_id_ = creator_thread_id;
}

CHardware::~CHardware() {
    event_.reset();
    voice_.reset();
    global_call_.reset();
    ip_media_.reset();
    network_.reset();
    speech_.reset();
    amtelco_.reset();
    configuration_.reset();
    aculab_call_.reset();
    aculab_switch_.reset();
    aculab_resource_.reset();
    aculab_ip_telephony_.reset();
    aculab_media_.reset();
}

void CHardware::LoadGlobalCallOnly() {
    global_call_ = std::make_unique<CLibGc>();
    if (OutcomeOf(*global_call_) != LoadOutcome::kComplete) {
        VendorTrace(0, 0, "WARNING Could not load libgc.dll. Using my_gc_util imlementations");
        global_call_.reset();
    }
}

// Each library is loaded only while the Dialogic path is still available, so the chain stops
// at the first failure; the tables of failed rows stay in place, later ones are never made.
void CHardware::LoadDialogicAndAmtelco() {
    global_call_ = std::make_unique<CLibGc>();
    switch (OutcomeOf(*global_call_)) {
        case LoadOutcome::kComplete:
            break;
        case LoadOutcome::kNotLoaded:
            ShowAppMessageBox("Could not load " + global_call_->GetName());
            intel_available_ = false;
            break;
        case LoadOutcome::kIncomplete:
            // The Dialogic path runs on without Global Call.
            VendorTrace(0, 0,
                        "WARNING Could not load one of the functions declared in %s. No Dialogic "
                        "VOIP possible.",
                        global_call_->GetName().c_str());
            global_call_.reset();
            break;
    }

    if (intel_available_) {
        event_ = std::make_unique<CLibSRLMT>();
        switch (OutcomeOf(*event_)) {
            case LoadOutcome::kComplete:
                break;
            case LoadOutcome::kNotLoaded:
                ShowAppMessageBox("Could not load " + event_->GetName());
                VendorTrace(0, 0, "Could not load intel/dialogic %s", event_->GetName().c_str());
                intel_available_ = false;
                break;
            case LoadOutcome::kIncomplete:
                ShowAppMessageBox("Could not load one of the functions declared in " +
                                  event_->GetName());
                intel_available_ = false;
                break;
        }
    }
    if (intel_available_) {
        ip_media_ = std::make_unique<CLibIPM>();
        intel_available_ = RequireDialogicLibrary(*ip_media_);
    }
    if (intel_available_) {
        voice_ = std::make_unique<CLibDXXMT>();
        intel_available_ = RequireDialogicLibrary(*voice_);
    }
    if (intel_available_) {
        network_ = std::make_unique<CLibDTIMT>();
        intel_available_ = RequireDialogicLibrary(*network_);
    }
    if (intel_available_) {
        speech_ = std::make_unique<CLibECMT>();
        intel_available_ = RequireDialogicLibrary(*speech_);
    }

    // Amtelco is an extra: its failure only switches Amtelco traffic off.
    if (intel_available_) {
        amtelco_ = std::make_unique<CLibXDS>("XDSlibsc.dll");
        switch (OutcomeOf(*amtelco_)) {
            case LoadOutcome::kComplete:
                break;
            case LoadOutcome::kNotLoaded:
                VendorTrace(0, 0, "Could not load XDSlibsc.dll\nAmtelco traffic is disabled");
                amtelco_.reset();
                break;
            case LoadOutcome::kIncomplete:
                ShowAppMessageBox(
                    "Could not load one of the functions declared in XDSlibsc.dll\nAmtelco traffic "
                    "is disabled");
                amtelco_.reset();
                break;
        }
    }

    // The configuration manager may lack its optional last export.
    if (intel_available_) {
        configuration_ = std::make_unique<CLibNCMAPI>();
        if (!configuration_->IsLoaded()) {
            ShowAppMessageBox("Could not load " + configuration_->GetName());
            intel_available_ = false;
        } else if (!configuration_->IsComplete()) {
            ShowAppMessageBox("Could not load one of the minimal required functions declared in " +
                              configuration_->GetName());
            intel_available_ = false;
        }
    }
}

void CHardware::LoadAculab() {
    auto load = [this](auto& table, const char* file_name, const AculabTexts& texts) {
        if (!aculab_available_)
            return;
        table = std::make_unique<typename std::decay_t<decltype(table)>::element_type>(file_name);
        switch (OutcomeOf(*table)) {
            case LoadOutcome::kComplete:
                break;
            case LoadOutcome::kNotLoaded:
                if (!intel_available_)
                    ShowAppMessageBox(texts.box_not_loaded);
                VendorTrace(0, 0, "%s", texts.log_not_loaded);
                aculab_available_ = false;
                break;
            case LoadOutcome::kIncomplete:
                ShowAppMessageBox(texts.box_incomplete);
                aculab_available_ = false;
                break;
        }
    };
    load(aculab_call_, "CL_Lib.dll",
         {"Could not load CL_Lib.dll", "Could not load Aculab CL_Lib.dll",
          "Could not load one of the functions declared in CL_Lib.dll"});
    load(aculab_resource_, "Res_Lib.dll",
         {"Could not load Res_Lib.dll", "Could not load Aculab Res_Lib.dll",
          "Could not load one of the functions declared in Res_Lib.dll"});
    load(aculab_switch_, "SW_Lib.dll",
         {"Could not load SW_Lib.dll", "Could not load Aculab SW_Lib.dll",
          "Could not load one of the functions declared in SW_Lib.dll"});
    load(aculab_ip_telephony_, "IpTel_Lib.dll",
         {"Could not load libIpTel_Lib.dll", "Could not load Aculab IpTel_Lib.dll",
          "Could not load one of the functions declared in libIpTel_Lib.dll"});
    load(aculab_media_, "TiNG.dll",
         {"Could not load libTiNG.dll", "Could not load Aculab libTiNG.dll",
          "Could not load one of the functions declared in libTiNG.dll"});
}

void CHardware::SetAculabTrace(bool on) {
    if (aculab_media_ != nullptr)
        aculab_media_->SetTrace(on);
}

CHardware* PublishedHardware() {
    return g_published_hardware.load();
}

void PublishHardware(CHardware* hardware) {
    g_published_hardware.store(hardware);
}

}  // namespace ruzd::telephony
