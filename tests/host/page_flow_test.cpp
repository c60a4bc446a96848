#include "core/page_flow.h"

#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "tests/host/recording_surface.h"
#include "ui/wizard_layout.h"

namespace brindorel {
namespace {

class FakeActions : public WizardActions {
 public:
  void StopWhileProgramOnCancel() override { log.push_back("StopOnCancel"); }
  void StopWhileProgramOnFinish() override { log.push_back("StopOnFinish"); }
  void DeleteWorkFolder(const std::string& folder) override { log.push_back("Delete " + folder); }
  std::string BrowseForFolder(const std::string& prompt, const std::string& start) override {
    log.push_back("Browse " + prompt + "|" + start);
    return browseResult;
  }
  std::string ChooseStartMenuFolder() override {
    log.push_back("Choose");
    return chooserResult;
  }
  void ProcessWaitingEvents() override { log.push_back("Pump"); }
  InstallationOutcome RunInstallation(const InstallChoices& choices) override {
    log.push_back("Install");
    installedWith = choices;
    if (duringInstall) duringInstall();
    return outcome;
  }
  void OpenWebLink() override { log.push_back("Web"); }
  void ShowMessage(const std::string& text) override { log.push_back("Message " + text); }

  std::vector<std::string> log;
  std::string browseResult;
  std::string chooserResult;
  std::function<void()> duringInstall;
  InstallChoices installedWith;
  InstallationOutcome outcome = [] {
    InstallationOutcome o;
    o.complete = true;
    return o;
  }();
};

WizardEvent Click(int control) { return {WizardEvent::Click, WizardWindowNumber, control}; }
WizardEvent FocusLost(int control) { return {WizardEvent::FocusLost, WizardWindowNumber, control}; }
WizardEvent CloseRequest() { return {WizardEvent::CloseRequest, WizardWindowNumber, 0}; }

class PageFlowTest : public ::testing::Test {
 protected:
  PageFlowTest() : texts(DefaultInterfaceTexts("Acme Tool", "1.0")), tracked(surface) {
    // The window as it is right after building.
    for (int control : InitiallyHiddenControls()) surface.controls[control].visible = false;
    surface.calls.clear();
    state.workFolder = "C:\\Temp\\Brindorel\\";
    state.settings.programSubfolder = "\\Acme Tool";
    state.settings.defaultInstallDir = "C:\\Program Files\\Acme Tool";
    state.settings.defaultMenuFolder = "Acme\\Tool";
    surface.controls[InstallDirField].text = state.settings.defaultInstallDir;
    surface.controls[MenuFolderField].text = state.settings.defaultMenuFolder;
  }

  void SetContent(bool licence, bool readme) {
    surface.controls[LicenceView].text = licence ? "Terms" : "";
    surface.controls[ReadmeView].text = readme ? "Notes" : "";
  }

  void Send(const WizardEvent& event) { flow.Handle(event); }
  void Clicks(int control, int times) {
    for (int i = 0; i < times; ++i) Send(Click(control));
  }

  // Checks the panels, header and buttons of `page` against what the window
  // should show there.
  void ExpectShows(int page) {
    SCOPED_TRACE("page " + std::to_string(page));
    EXPECT_EQ(state.currentPage, page);
    EXPECT_EQ(surface.Visible(WelcomePage), page == 1);
    EXPECT_EQ(surface.Visible(LicencePage), page == 2);
    EXPECT_EQ(surface.Visible(SettingsPage), page == 3);
    EXPECT_EQ(surface.Visible(InfoPage), page == 4);
    EXPECT_EQ(surface.Visible(InstallPage), page == 5);
    EXPECT_EQ(surface.Visible(SideImage), page == 1 || page == 5);
    EXPECT_EQ(surface.Visible(HeaderPanel), page >= 2 && page <= 4);
    EXPECT_EQ(surface.Visible(BackButton), page != 1);
    EXPECT_EQ(surface.Visible(NextButton), page != 5);
    EXPECT_EQ(surface.Visible(CancelButton), page != 5);
    EXPECT_EQ(surface.Visible(InstallButton), page == 5);
    EXPECT_EQ(surface.Visible(FinishButton), page == 5);
    if (page >= 2 && page <= 4) {
      EXPECT_EQ(surface.GetText(HeaderTitle), texts.Get(PageHeaderTitle(page)));
      EXPECT_EQ(surface.GetText(HeaderSubtitle), texts.Get(PageHeaderSubtitle(page)));
    }
  }

  void GoToInstallPage() {
    Clicks(NextButton, 4);
    ASSERT_EQ(state.currentPage, 5);
  }

  InstallerState state;
  InterfaceTexts texts;
  RecordingSurface surface;
  TrackedSurface tracked;
  FakeActions actions;
  PageFlow flow{state, texts, tracked, actions};
};

// --- Walking the pages ---

struct Walk {
  bool licence;
  bool readme;
  std::vector<int> forward;  // pages after each Next from page 1
  std::vector<int> back;     // pages after each Back from page 5
};

class PageWalkTest : public PageFlowTest, public ::testing::WithParamInterface<Walk> {};

TEST_P(PageWalkTest, NextAndBackShowEachPageAndSkipEmptyOnes) {
  const Walk& walk = GetParam();
  SetContent(walk.licence, walk.readme);
  surface.controls[AcceptOption].state = 1;  // licence accepted
  ExpectShows(1);
  for (int page : walk.forward) {
    Send(Click(NextButton));
    ExpectShows(page);
  }
  for (int page : walk.back) {
    Send(Click(BackButton));
    ExpectShows(page);
  }
  EXPECT_TRUE(surface.Enabled(NextButton));
  EXPECT_TRUE(actions.log.empty());
  EXPECT_EQ(state.quitRequested, 0u);
}

INSTANTIATE_TEST_SUITE_P(Content, PageWalkTest,
                         ::testing::Values(Walk{true, true, {2, 3, 4, 5}, {4, 3, 2, 1}},
                                           Walk{false, false, {3, 5}, {3, 1}},
                                           Walk{true, false, {2, 3, 5}, {3, 2, 1}},
                                           Walk{false, true, {3, 4, 5}, {4, 3, 1}}));

TEST_F(PageFlowTest, BackToPageFourKeepsItsHeader) {
  SetContent(true, true);
  surface.controls[AcceptOption].state = 1;
  GoToInstallPage();
  surface.calls.clear();
  Send(Click(BackButton));
  ExpectShows(4);
  for (const RecordingSurface::Call& call : surface.calls) EXPECT_NE(call.operation, "SetText");
}

TEST_F(PageFlowTest, LicenceChoiceGatesNextAndIsKept) {
  SetContent(true, false);
  Send(Click(NextButton));
  ExpectShows(2);
  EXPECT_FALSE(surface.Enabled(NextButton));  // DeclineOption selected at start

  Send(Click(NextButton));  // a disabled button does not act
  EXPECT_EQ(state.currentPage, 2);

  surface.controls[AcceptOption].state = 1;
  Send(Click(AcceptOption));
  EXPECT_TRUE(surface.Enabled(NextButton));
  Send(Click(NextButton));
  ExpectShows(3);
  Send(Click(BackButton));
  ExpectShows(2);
  EXPECT_TRUE(surface.Enabled(NextButton));

  surface.controls[AcceptOption].state = 0;
  surface.controls[DeclineOption].state = 1;
  Send(Click(DeclineOption));
  EXPECT_FALSE(surface.Enabled(NextButton));
  Send(Click(BackButton));  // Back still works and page 1 gets Next back
  ExpectShows(1);
  EXPECT_TRUE(surface.Enabled(NextButton));
  Send(Click(NextButton));  // entering again follows the options
  EXPECT_FALSE(surface.Enabled(NextButton));
}

// --- The keyboard focus ---

// Each press as the keyboard makes it: the focus is on the pressed button.
TEST_F(PageFlowTest, TheFocusIsNeverLostOnTheWayThroughThePages) {
  SetContent(true, true);
  surface.controls[DeclineOption].state = 1;
  tracked.FocusSensibly();
  EXPECT_EQ(surface.focused, NextButton);

  // Page 2 disables the focused Next: the focus goes to the licence view.
  Send(Click(NextButton));
  ExpectShows(2);
  EXPECT_EQ(surface.focused, LicenceView);
  surface.focused = AcceptOption;  // the arrow keys selected it
  surface.controls[AcceptOption].state = 1;
  surface.controls[DeclineOption].state = 0;
  Send(Click(AcceptOption));
  EXPECT_EQ(surface.focused, AcceptOption);
  surface.focused = NextButton;
  Send(Click(NextButton));
  EXPECT_EQ(surface.focused, NextButton);

  // Leaving the settings page from its field: the hidden field lets go.
  surface.focused = InstallDirField;
  Send(Click(NextButton));
  ExpectShows(4);
  EXPECT_EQ(surface.focused, NextButton);

  Send(Click(NextButton));
  ExpectShows(5);
  EXPECT_EQ(surface.focused, InstallButton);
  // Install hides itself: Finish takes the focus before the installation runs.
  int focusDuringInstall = 0;
  actions.duringInstall = [&] { focusDuringInstall = surface.focused; };
  Send(Click(InstallButton));
  EXPECT_EQ(focusDuringInstall, FinishButton);
  EXPECT_EQ(surface.focused, FinishButton);
}

TEST_F(PageFlowTest, BackFromTheFocusedBackButtonFocusesNext) {
  SetContent(true, false);
  Send(Click(NextButton));
  ExpectShows(2);
  surface.focused = BackButton;
  Send(Click(BackButton));
  ExpectShows(1);
  EXPECT_EQ(surface.focused, NextButton);
  // A focus on the window itself (0) is no place either.
  surface.focused = 0;
  Send(FocusLost(InstallDirField));
  EXPECT_EQ(surface.focused, NextButton);
}

TEST_F(PageFlowTest, AFocusThatCanStayIsLeftAlone) {
  SetContent(false, false);
  Send(Click(NextButton));
  ExpectShows(3);
  surface.focused = MenuFolderField;
  surface.calls.clear();
  Send(FocusLost(InstallDirField));
  Send(Click(DesktopIconBox));
  EXPECT_EQ(surface.focused, MenuFolderField);
  for (const RecordingSurface::Call& call : surface.calls) EXPECT_NE(call.operation, "Focus");
  // Disabling or hiding another control keeps it too.
  tracked.Disable(CancelButton);
  tracked.Hide(WebLink);
  EXPECT_EQ(surface.focused, MenuFolderField);
}

TEST_F(PageFlowTest, ClicksOnControlsNotShownOrDisabledDoNothing) {
  SetContent(true, true);
  state.settings.progExe = "acme.exe";
  // Page 1: none of these is shown.
  for (int control : {BackButton, InstallButton, FinishButton, AcceptOption, InstallDirChange,
                      MenuFolderChange}) {
    Send(Click(control));
  }
  ExpectShows(1);
  EXPECT_TRUE(actions.log.empty());
  EXPECT_EQ(state.quitRequested, 0u);

  // Options of the licence page act only there.
  Clicks(NextButton, 1);
  surface.controls[AcceptOption].state = 1;
  Send(Click(AcceptOption));
  Send(Click(NextButton));
  ASSERT_EQ(state.currentPage, 3);
  Send(Click(DeclineOption));
  EXPECT_TRUE(surface.Enabled(NextButton));

  // A start-menu button disabled at start-up does not open the chooser.
  tracked.Disable(MenuFolderChange);
  Send(Click(MenuFolderChange));
  EXPECT_TRUE(actions.log.empty());

  // Events of other windows are ignored.
  Send({WizardEvent::Click, StartMenuChooserNumber, NextButton});
  Send({WizardEvent::CloseRequest, LanguageChooserNumber, 0});
  EXPECT_EQ(state.currentPage, 3);
  EXPECT_EQ(state.quitRequested, 0u);
}

TEST_F(PageFlowTest, WebLinkActsOnlyWhileShown) {
  Send(Click(WebLink));
  EXPECT_EQ(actions.log, std::vector<std::string>{"Web"});
  tracked.Hide(WebLink);  // [Info] Web empty
  Send(Click(WebLink));
  EXPECT_EQ(actions.log.size(), 1u);
}

// --- Install, Finish, Cancel ---

TEST_F(PageFlowTest, InstallRunsOnceAndLeavesOnlyFinish) {
  SetContent(false, false);
  Clicks(NextButton, 2);
  ASSERT_EQ(state.currentPage, 5);
  surface.controls[RunProgramBox].state = 1;
  actions.duringInstall = [&] {
    // Whatever reaches the flow while installing is not acted on.
    Send(Click(InstallButton));
    Send(Click(FinishButton));
    Send(CloseRequest());
  };
  actions.outcome.installFolder = "C:\\Program Files\\Acme Tool\\";
  Send(Click(InstallButton));
  EXPECT_EQ(actions.log, (std::vector<std::string>{"Pump", "Install"}));
  EXPECT_TRUE(state.installationRan);
  EXPECT_EQ(state.installFolder, "C:\\Program Files\\Acme Tool\\");
  // The choices the settings page settled are the ones installed with.
  EXPECT_EQ(actions.installedWith.installFolder, "C:\\Program Files\\Acme Tool");
  EXPECT_EQ(actions.installedWith.menuFolder, "Acme\\Tool");
  EXPECT_EQ(state.quitRequested, 0u);
  EXPECT_FALSE(surface.Visible(InstallHint));
  EXPECT_TRUE(surface.Visible(InstallStatus));
  EXPECT_TRUE(surface.Visible(ProgressList));
  EXPECT_TRUE(surface.Visible(RunProgramBox));
  for (int button : {BackButton, NextButton, CancelButton, InstallButton})
    EXPECT_FALSE(surface.Visible(button)) << button;
  EXPECT_TRUE(surface.Visible(FinishButton));
  EXPECT_EQ(surface.GetText(InstallTitle), texts.Get(TextId::Page05Titel2));
  EXPECT_EQ(surface.GetText(InstallStatus), texts.Get(TextId::Page05Ready));

  // Afterwards nothing but Finish and the close request acts.
  for (int control : {InstallButton, BackButton, NextButton, CancelButton, WebLink}) Send(Click(control));
  surface.controls[InstallDirField].text = "D:\\";
  Send(FocusLost(InstallDirField));
  EXPECT_EQ(surface.GetText(InstallDirField), "D:\\");
  EXPECT_EQ(actions.log.size(), 2u);
  EXPECT_EQ(state.currentPage, 5);
  EXPECT_EQ(state.quitRequested, 0u);

  Send(Click(FinishButton));
  EXPECT_EQ(actions.log.back(), "StopOnFinish");
  EXPECT_EQ(state.startProgramAtExit, 1);
  EXPECT_EQ(state.quitRequested, 1u);
}

TEST_F(PageFlowTest, FinishTakesTheRunProgramBoxAfterInstalling) {
  GoToInstallPage();
  Send(Click(InstallButton));
  surface.controls[RunProgramBox].state = 0;
  Send(Click(FinishButton));
  EXPECT_EQ(state.startProgramAtExit, 0);
  EXPECT_EQ(state.quitRequested, 1u);
}

TEST_F(PageFlowTest, AnIncompleteInstallationIsNotReportedAsReady) {
  GoToInstallPage();
  actions.outcome.complete = false;
  Send(Click(InstallButton));
  EXPECT_EQ(surface.GetText(InstallTitle), texts.Get(TextId::Page05Titel2));
  EXPECT_EQ(surface.GetText(InstallStatus), texts.Get(TextId::InstallFailed));
}

TEST_F(PageFlowTest, FinishBeforeInstallingStartsNothing) {
  GoToInstallPage();
  surface.controls[RunProgramBox].state = 1;  // StartProg set
  Send(Click(FinishButton));
  EXPECT_EQ(actions.log, std::vector<std::string>{"StopOnFinish"});
  EXPECT_FALSE(state.installationRan);
  EXPECT_EQ(state.startProgramAtExit, 0);
  EXPECT_EQ(state.quitRequested, 1u);
  EXPECT_TRUE(ProgramToStartAtExit(state).empty());
}

// Pages reached by Next presses (5 + 1: page 5 after installing).
class CloseRequestTest : public PageFlowTest, public ::testing::WithParamInterface<int> {};

TEST_P(CloseRequestTest, ActsAsCancelOnEveryPage) {
  SetContent(true, true);
  surface.controls[AcceptOption].state = 1;
  const int step = GetParam();
  Clicks(NextButton, step > 4 ? 4 : step);
  if (step == 5) Send(Click(InstallButton));
  ASSERT_EQ(state.currentPage, step > 4 ? 5 : step + 1);
  surface.controls[RunProgramBox].state = 1;
  state.startProgramAtExit = 1;
  actions.log.clear();

  Send(CloseRequest());
  EXPECT_EQ(actions.log, (std::vector<std::string>{"StopOnCancel", "Delete C:\\Temp\\Brindorel\\"}));
  EXPECT_EQ(state.quitRequested, 1u);
  EXPECT_EQ(state.startProgramAtExit, 0);
  EXPECT_TRUE(ProgramToStartAtExit(state).empty());

  // The loop has ended; a late second request changes nothing.
  Send(CloseRequest());
  EXPECT_EQ(actions.log.size(), 2u);
}

INSTANTIATE_TEST_SUITE_P(Pages, CloseRequestTest, ::testing::Values(0, 1, 2, 3, 4, 5));

TEST_F(PageFlowTest, CancelWithoutWorkFolderDeletesNothing) {
  state.workFolder.clear();
  Send(Click(CancelButton));
  EXPECT_EQ(actions.log, std::vector<std::string>{"StopOnCancel"});
  EXPECT_EQ(state.quitRequested, 1u);
}

// --- Folder fields ---

struct Completion {
  const char* rule;  // "dir", "browse", "menu", "chooser"
  const char* setting;
  const char* input;
  const char* expected;
};

void PrintTo(const Completion& c, std::ostream* os) {
  *os << c.rule << " of \"" << c.input << "\" with \"" << c.setting << "\"";
}

class CompletionTest : public ::testing::TestWithParam<Completion> {};

TEST_P(CompletionTest, GivesTheExpectedText) {
  const Completion& c = GetParam();
  const std::string rule = c.rule;
  std::string got;
  if (rule == "dir") got = CompleteInstallDirText(c.input, c.setting);
  if (rule == "browse") got = CompleteBrowseResult(c.input, c.setting);
  if (rule == "menu") got = CompleteMenuFolderText(c.input, c.setting);
  if (rule == "chooser") got = CompleteChooserResult(c.input, c.setting);
  EXPECT_EQ(got, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, CompletionTest,
    ::testing::Values(
        Completion{"dir", "\\Acme Tool", "D:\\Apps", "D:\\Apps\\\\Acme Tool"},
        Completion{"dir", "\\Acme Tool", "D:\\Apps\\Acme Tool", "D:\\Apps\\Acme Tool"},
        Completion{"dir", "\\Acme Tool", "D:\\Apps\\acme tool", "D:\\Apps\\acme tool\\\\Acme Tool"},
        Completion{"dir", "", "D:\\Apps", "D:\\Apps\\"},
        Completion{"dir", "\\Acme Tool", "", ""},
        Completion{"browse", "\\Acme Tool", "D:\\Apps\\", "D:\\Apps\\\\Acme Tool"},
        Completion{"browse", "\\Acme Tool", "D:\\Apps\\Acme Tool\\", "D:\\Apps\\Acme Tool\\"},
        Completion{"browse", "\\Acme Tool", "D:\\Apps\\Acme Tool", "D:\\Apps\\Acme Tool"},
        Completion{"browse", "Acme Tool", "D:\\Apps", "D:\\Apps\\Acme Tool"},
        Completion{"browse", "Acme Tool", "D:\\", "D:\\Acme Tool"},
        Completion{"browse", "", "D:\\Apps\\", "D:\\Apps\\"},
        Completion{"browse", "\\Acme Tool", "", ""},
        Completion{"menu", "Acme\\Tool", "", "Acme\\Tool"},
        Completion{"menu", "Acme", "Tools", "Tools\\Acme"},
        Completion{"menu", "Acme", "Acme Tools", "Acme Tools"},
        Completion{"menu", "Acme", "acme", "acme\\Acme"},
        Completion{"menu", "Acme\\Tool", "Games\\Tool", "Games\\Tool"},  // completed once only
        Completion{"menu", "Acme\\Tool", "Games", "Games\\Acme\\Tool"},
        Completion{"menu", "Acme\\Tool", "Games\\Acme\\Tool", "Games\\Acme\\Tool"},
        Completion{"menu", "", "Tools", "Tools\\"},
        Completion{"menu", "", "", ""},
        Completion{"menu", "Acme\\", "Tools", "Tools\\Acme\\"},
        Completion{"chooser", "Acme\\Tool", "Games", "Games\\Tool"},
        Completion{"chooser", "Acme\\Tool", "Games\\Tool", "Games\\Tool"},
        Completion{"chooser", "Acme\\Tool", "Games\\", "Games\\Tool"},
        Completion{"chooser", "Acme", "Accessories\\Games", "Accessories\\Games\\Acme"},
        Completion{"chooser", "Acme", "", ""}));

TEST(BrowseStartFolderTest, DropsOneTrailingBackslashBeyondADriveRoot) {
  EXPECT_EQ(BrowseStartFolder("C:\\Program Files\\Acme\\"), "C:\\Program Files\\Acme");
  EXPECT_EQ(BrowseStartFolder("C:\\Apps\\\\"), "C:\\Apps\\");
  EXPECT_EQ(BrowseStartFolder("C:\\"), "C:\\");
  EXPECT_EQ(BrowseStartFolder("C:\\Apps"), "C:\\Apps");
  EXPECT_EQ(BrowseStartFolder(""), "");
}

TEST_F(PageFlowTest, FieldsAreCompletedWhenTheyLoseTheFocus) {
  SetContent(false, false);
  Send(Click(NextButton));
  ASSERT_EQ(state.currentPage, 3);

  surface.controls[InstallDirField].text = "D:\\Apps";
  Send(FocusLost(InstallDirField));
  EXPECT_EQ(surface.GetText(InstallDirField), "D:\\Apps\\\\Acme Tool");

  surface.controls[MenuFolderField].text = "";
  Send(FocusLost(MenuFolderField));
  EXPECT_EQ(surface.GetText(MenuFolderField), "Acme\\Tool");

  // Typing into the fields or clicking them is not acted on.
  surface.controls[MenuFolderField].text = "Games";
  Send(Click(MenuFolderField));
  Send(FocusLost(DesktopIconBox));
  EXPECT_EQ(surface.GetText(MenuFolderField), "Games");
}

TEST_F(PageFlowTest, BrowseAndChooserResultsFillTheFields) {
  SetContent(false, false);
  state.settings.defaultInstallDir = "C:\\Program Files\\";
  Send(Click(NextButton));

  actions.browseResult = "D:\\Apps\\";
  Send(Click(InstallDirChange));
  EXPECT_EQ(actions.log.back(), "Browse " + texts.Get(TextId::RequesterRQ2Titel) + "|C:\\Program Files");
  EXPECT_EQ(surface.GetText(InstallDirField), "D:\\Apps\\\\Acme Tool");
  actions.browseResult.clear();  // cancelled
  Send(Click(InstallDirChange));
  EXPECT_EQ(surface.GetText(InstallDirField), "D:\\Apps\\\\Acme Tool");

  actions.chooserResult = "Games";
  Send(Click(MenuFolderChange));
  EXPECT_EQ(surface.GetText(MenuFolderField), "Games\\Tool");
  // In and out of the field again keeps the chosen folder.
  Send(FocusLost(MenuFolderField));
  EXPECT_EQ(surface.GetText(MenuFolderField), "Games\\Tool");
  actions.chooserResult.clear();  // chooser closed
  Send(Click(MenuFolderChange));
  EXPECT_EQ(surface.GetText(MenuFolderField), "Games\\Tool");
}

TEST_F(PageFlowTest, EmptiedInstallFieldFallsBackToTheDefaultOnNext) {
  SetContent(false, true);
  Send(Click(NextButton));
  surface.controls[InstallDirField].text = "";
  Send(FocusLost(InstallDirField));
  EXPECT_EQ(surface.GetText(InstallDirField), "");
  Send(Click(NextButton));
  EXPECT_EQ(state.currentPage, 4);
  EXPECT_EQ(surface.GetText(InstallDirField), state.settings.defaultInstallDir);

  // Only leaving page 3 forward restores it.
  Send(Click(BackButton));
  surface.controls[InstallDirField].text = "";
  Send(Click(BackButton));
  EXPECT_EQ(surface.GetText(InstallDirField), "");
}

TEST_F(PageFlowTest, SettingsPageKeepsFoldersThatAreNotTheProgramsOwn) {
  SetContent(false, true);
  state.settings.startMenu = 1;
  state.protectedFolders.folders = {"c:\\program files", "c:\\windows"};
  state.protectedFolders.workFolder = "c:\\temp\\brindorel";
  Send(Click(NextButton));
  ASSERT_EQ(state.currentPage, 3);
  const std::string prefix = "Message " + texts.Get(TextId::Page03BadFolder) + "\n\n";
  const struct {
    const char* installDir;
    const char* menuFolder;
    const char* named;  // nullptr: accepted
  } cases[] = {
      {"C:\\Program Files\\", "Acme", "C:\\Program Files\\"},
      {"C:\\", "Acme", "C:\\"},
      {"\\Acme Tool", "Acme", "\\Acme Tool"},
      {"C:\\Temp\\Brindorel\\Acme", "Acme", "C:\\Temp\\Brindorel\\Acme"},
      {"C:\\Program Files\\Acme Tool", "..\\..\\Startup", "..\\..\\Startup"},
      {"C:\\Program Files\\Acme Tool", "\\Acme", "\\Acme"},
      {"C:\\Program Files\\Acme Tool", "", nullptr},
      {"C:\\Program Files\\\\Acme Tool", "Acme\\Tool", nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.installDir + std::string(" / ") + c.menuFolder);
    surface.controls[InstallDirField].text = c.installDir;
    surface.controls[MenuFolderField].text = c.menuFolder;
    actions.log.clear();
    Send(Click(NextButton));
    if (c.named != nullptr) {
      EXPECT_EQ(state.currentPage, 3);
      EXPECT_TRUE(surface.Visible(SettingsPage));
      ASSERT_EQ(actions.log.size(), 1u);
      EXPECT_EQ(actions.log[0], prefix + c.named);
    } else {
      EXPECT_EQ(state.currentPage, 4);
      EXPECT_TRUE(actions.log.empty());
      Send(Click(BackButton));
    }
  }
  // Without start-menu entries the menu name is not looked at.
  state.settings.startMenu = 0;
  surface.controls[MenuFolderField].text = "..";
  Send(Click(NextButton));
  EXPECT_EQ(state.currentPage, 4);
}

// --- The scope options of the settings page ---

struct ScopeCase {
  const char* name;
  PackageScope offered;
  ScopeRequest request;
  const char* typed;         // the field's text after arriving on page 3; nullptr: left as it was
  std::vector<int> clicks;   // scope options clicked, in order
  bool optionsShown;
  InstallScope installed;
  const char* folder;        // the install folder the installation gets
};

const char kMachineDir[] = "C:\\Program Files\\Acme Tool";
const char kUserDir[] = "C:\\Users\\ann\\AppData\\Local\\Programs\\Acme Tool\\";
const char kTyped[] = "D:\\Tools\\Acme Tool";

class ScopeChoiceTest : public PageFlowTest, public ::testing::WithParamInterface<ScopeCase> {};

TEST_P(ScopeChoiceTest, OptionsSwapTheDefaultFolderAndReachTheInstallation) {
  const ScopeCase& c = GetParam();
  SetContent(false, false);
  state.settings.scope = c.offered;
  state.settings.defaultInstallDir = kMachineDir;
  state.settings.userInstallDir = kUserDir;
  ASSERT_TRUE(SettleScope(c.offered, c.request, state.scope));
  state.scopeOpen = ScopeIsOpen(c.offered, c.request);
  surface.controls[InstallDirField].text = DefaultInstallDir(state.settings, state.scope);
  PresentScopeChoice(tracked, state);

  Send(Click(NextButton));
  ASSERT_EQ(state.currentPage, 3);
  for (int option : {ScopeMachineOption, ScopeUserOption}) {
    EXPECT_EQ(surface.Visible(option), c.optionsShown) << option;
    EXPECT_EQ(tracked.IsClickable(option), c.optionsShown) << option;
  }
  if (c.optionsShown) {
    // The run's scope is preselected: the machine, as no switch decided it.
    EXPECT_EQ(surface.GetState(ScopeMachineOption), 1);
    EXPECT_EQ(surface.GetState(ScopeUserOption), 0);
  }
  if (c.typed != nullptr) surface.controls[InstallDirField].text = c.typed;
  for (int option : c.clicks) Send(Click(option));
  Send(Click(NextButton));
  Send(Click(InstallButton));
  ASSERT_EQ(actions.log, std::vector<std::string>({"Pump", "Install"}));
  EXPECT_EQ(actions.installedWith.scope, c.installed);
  EXPECT_EQ(actions.installedWith.installFolder, c.folder);
}

using C = ScopeCase;
INSTANTIATE_TEST_SUITE_P(
    Cases, ScopeChoiceTest,
    ::testing::Values(
        C{"choose_untouched_machine", PackageScope::Choose, ScopeRequest::None, nullptr, {}, true,
          InstallScope::Machine, kMachineDir},
        C{"choose_only_for_me", PackageScope::Choose, ScopeRequest::None, nullptr, {ScopeUserOption}, true,
          InstallScope::User, kUserDir},
        C{"choose_there_and_back", PackageScope::Choose, ScopeRequest::None, nullptr,
          {ScopeUserOption, ScopeMachineOption}, true, InstallScope::Machine, kMachineDir},
        C{"choose_same_option_twice", PackageScope::Choose, ScopeRequest::None, nullptr,
          {ScopeUserOption, ScopeUserOption}, true, InstallScope::User, kUserDir},
        // What the user typed stays whatever the scope.
        C{"choose_typed_folder_stays", PackageScope::Choose, ScopeRequest::None, kTyped, {ScopeUserOption}, true,
          InstallScope::User, kTyped},
        C{"choose_typed_folder_stays_back", PackageScope::Choose, ScopeRequest::None, kTyped,
          {ScopeUserOption, ScopeMachineOption}, true, InstallScope::Machine, kTyped},
        // An emptied field takes the chosen scope's default.
        C{"choose_emptied_field", PackageScope::Choose, ScopeRequest::None, "", {ScopeUserOption}, true,
          InstallScope::User, kUserDir},
        // A switch decided it: no options, and clicks on them do nothing.
        C{"choose_all_users_switch", PackageScope::Choose, ScopeRequest::AllUsers, nullptr, {ScopeUserOption}, false,
          InstallScope::Machine, kMachineDir},
        C{"choose_current_user_switch", PackageScope::Choose, ScopeRequest::CurrentUser, nullptr,
          {ScopeMachineOption}, false, InstallScope::User, kUserDir},
        C{"machine_package", PackageScope::Machine, ScopeRequest::None, nullptr, {ScopeUserOption}, false,
          InstallScope::Machine, kMachineDir},
        C{"user_package", PackageScope::User, ScopeRequest::None, nullptr, {ScopeMachineOption}, false,
          InstallScope::User, kUserDir}),
    [](const ::testing::TestParamInfo<ScopeCase>& p) { return std::string(p.param.name); });

struct FieldCase {
  const char* field;
  InstallScope from, to;
  const char* expected;
};

TEST(InstallDirForScopeTest, FollowsTheScopeOnlyWhileTheFieldHoldsTheOldDefault) {
  Settings settings;
  settings.defaultInstallDir = kMachineDir;
  settings.userInstallDir = kUserDir;
  const FieldCase cases[] = {
      {kMachineDir, InstallScope::Machine, InstallScope::User, kUserDir},
      {kUserDir, InstallScope::User, InstallScope::Machine, kMachineDir},
      {"", InstallScope::Machine, InstallScope::User, kUserDir},
      {kTyped, InstallScope::Machine, InstallScope::User, kTyped},
      // The user default typed while the machine is chosen is the user's own text.
      {kUserDir, InstallScope::Machine, InstallScope::User, kUserDir},
      {kMachineDir, InstallScope::User, InstallScope::Machine, kMachineDir},
      {kMachineDir, InstallScope::Machine, InstallScope::Machine, kMachineDir},
      {"", InstallScope::User, InstallScope::User, ""},
  };
  for (const FieldCase& c : cases)
    EXPECT_EQ(InstallDirForScope(c.field, settings, c.from, c.to), c.expected) << c.field;
}

// --- The bookkeeping itself ---

TEST(TrackedSurfaceTest, KnowsShownControlsThroughTheirPanels) {
  RecordingSurface target;
  TrackedSurface tracked(target);
  EXPECT_TRUE(tracked.IsClickable(NextButton));
  EXPECT_FALSE(tracked.IsShown(BackButton));
  EXPECT_FALSE(tracked.IsShown(InstallDirChange));  // its panel is hidden
  tracked.Show(SettingsPage);
  EXPECT_TRUE(tracked.IsClickable(InstallDirChange));
  tracked.Disable(InstallDirChange);
  EXPECT_TRUE(tracked.IsShown(InstallDirChange));
  EXPECT_FALSE(tracked.IsClickable(InstallDirChange));
  EXPECT_FALSE(target.Enabled(InstallDirChange));  // passed on
  for (int unknown : {0, -1, 64, 1000}) {
    tracked.Show(unknown);
    EXPECT_FALSE(tracked.IsClickable(unknown));
  }
}

}  // namespace
}  // namespace brindorel
