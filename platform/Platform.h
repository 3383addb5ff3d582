#pragma once
// The platform services in use. Start-up installs the Linux backends; tests install fakes.
// Every service is owned here; callers keep plain references only for the length of a call.

#include "Accessibility.h"
#include "AccessibleTree.h"
#include "HotKeys.h"
#include "LanguageModel.h"
#include "LoginItem.h"
#include "Pasteboard.h"
#include "Permissions.h"
#include "Recording.h"
#include "Screens.h"
#include "Sharing.h"
#include "Sounds.h"
#include "Speech.h"
#include "Spelling.h"
#include "SyntheticKeys.h"
#include "Trash.h"
#include "Vision.h"
#include "Windows.h"
#include "Workspace.h"

#include <memory>

namespace ombrel {

struct PlatformServices {
    std::unique_ptr<ScreenGrabber> screens;
    std::unique_ptr<WindowSystem> windows;
    std::unique_ptr<Pasteboard> pasteboard;
    std::unique_ptr<Sounds> sounds;
    std::unique_ptr<Trash> trash;
    std::unique_ptr<LoginItem> loginItem;
    std::unique_ptr<Workspace> workspace;
    std::unique_ptr<Access> access;
    std::unique_ptr<Accessibility> accessibility;
    std::unique_ptr<AccessibleTree> accessibleTree;
    std::unique_ptr<SyntheticKeys> keys;
    std::unique_ptr<RecordingSources> recording;
    std::unique_ptr<Vision> vision;
    std::unique_ptr<Sharing> sharing;
    std::unique_ptr<HotKeys> hotKeys;
    std::unique_ptr<Spelling> spelling;
    std::unique_ptr<LanguageModel> languageModel;
    std::unique_ptr<Speech> speech;
};

class Platform {
  public:
    // Replaces the installed services; a null member keeps the one installed before.
    static void install(PlatformServices services);
    static void uninstall();
    static bool isInstalled();

    static ScreenGrabber& screens();
    static WindowSystem& windows();
    static Pasteboard& pasteboard();
    static Sounds& sounds();
    static Trash& trash();
    static LoginItem& loginItem();
    static Workspace& workspace();
    static Access& access();
    static Accessibility& accessibility();
    static AccessibleTree& accessibleTree();
    static SyntheticKeys& keys();
    static RecordingSources& recording();
    static Vision& vision();
    static Sharing& sharing();
    static HotKeys& hotKeys();
    static Spelling& spelling();
    static LanguageModel& languageModel();
    static Speech& speech();
};

// The backends of this build (the Linux ones), chosen by the build system.
PlatformServices makeNativePlatform();
// Only the speech service of this build, for jobs that need nothing else (no display).
std::unique_ptr<Speech> makeNativeSpeech();

} // namespace ombrel
