// The table of texts; see TextCatalog.h. Group 6 text 0 is the setup's title
// (window captions and message boxes); groups 0-5 belong to the pages, with
// text 0 the page title and texts 1-4 the page's paragraphs; group 7 holds
// the button captions.
#include "authoring/TextCatalog.h"

#include <algorithm>

namespace {

const std::vector<TextRole> kRoles = {
    // Page 0: welcome.
    {"welcome.title", 0, 0, 0, "title of the welcome page", "Welcome"},
    {"welcome.paragraph1", 0, 1, 0, "first paragraph of the welcome page",
     "Welcome to the setup of {title}. This program installs {title} on your computer."},
    {"welcome.paragraph2", 0, 2, 0, "second paragraph of the welcome page",
     "It is strongly recommended that you close all other programs before you go on."},
    {"welcome.paragraph3", 0, 3, 0, "third paragraph of the welcome page",
     "Click Next to continue, or Cancel to leave the setup."},
    {"welcome.paragraph4", 0, 4, 0, "fourth paragraph of the welcome page", ""},
    // Page 1: information; an empty text leaves the page out.
    {"information.title", 1, 0, 0, "title of the information page", "Information"},
    {"information.text", 1, 1, 0, "the text shown on the information page (empty: no information page)", ""},
    // Page 2: destination folder.
    {"directory.title", 2, 0, 0, "title of the destination page", "Destination Folder"},
    {"directory.paragraph1", 2, 1, 0, "first paragraph of the destination page",
     "Setup will install {title} in the following folder."},
    {"directory.paragraph2", 2, 2, 0, "second paragraph of the destination page",
     "To install in this folder, click Next."},
    {"directory.paragraph3", 2, 3, 0, "third paragraph of the destination page",
     "To install in another folder, type its name or click Browse and choose it."},
    {"directory.paragraph4", 2, 4, 0, "fourth paragraph of the destination page", ""},
    {"directory.space_needed_label", 2, 5, 0, "label of the space needed", "Space needed:"},
    {"directory.space_available_label", 2, 6, 0, "label of the space available", "Space available:"},
    {"directory.megabytes", 2, 7, 'd', "a number of megabytes (%d)", "%d MB"},
    // Page 3: confirmation.
    {"confirmation.title", 3, 0, 0, "title of the confirmation page", "Ready to Install"},
    {"confirmation.paragraph1", 3, 1, 0, "first paragraph of the confirmation page",
     "Setup is now ready to install {title}."},
    {"confirmation.folder", 3, 2, 's', "the destination folder sentence (%s = the folder)",
     "The files will be installed in %s."},
    {"confirmation.paragraph3", 3, 3, 0, "third paragraph of the confirmation page",
     "Click Install to begin, or Back to review or change the settings."},
    {"confirmation.paragraph4", 3, 4, 0, "fourth paragraph of the confirmation page", ""},
    // Page 4: progress.
    {"progress.title", 4, 0, 0, "title of the progress page", "Installing"},
    {"progress.file_label", 4, 1, 0, "label before the name of the file being installed", "Installing:"},
    {"progress.paragraph2", 4, 2, 0, "text of the progress page",
     "Please wait while Setup installs {title} on your computer."},
    // Page 5: finish.
    {"finish.title", 5, 0, 0, "title of the finish page", "Setup Complete"},
    {"finish.success", 5, 1, 0, "the success message", "{title} has been installed on your computer."},
    {"finish.launch_intro", 5, 2, 0, "the sentence that introduces the launch button",
     "Click the button below to open it now."},
    {"finish.run_after_intro", 5, 3, 0, "the sentence that introduces the run-after check box",
     "Tick the box below to start {title} when Setup closes."},
    {"finish.failure", 5, 4, 's', "the failure message (%s = the reason)",
     "Setup could not complete the installation.\r\n\r\n%s"},
    {"finish.launch_button", 5, 5, 0, "caption of the launch button (empty: open at once)", "&Open"},
    {"finish.run_after_checkbox", 5, 6, 0, "caption of the run-after check box", "&Start {title} now"},
    {"finish.restart_notice", 5, 7, 0, "the notice that a restart is needed",
     "Some files are in use and will be replaced when Windows restarts. Click Restart to restart now."},
    // Group 6: the title and the messages.
    {"messages.title", 6, 0, 0, "the setup's title: window captions and message boxes", "{title} Setup"},
    {"messages.browser_title", 6, 1, 0, "title of the folder browser", "Choose Folder"},
    {"messages.browser_folder_label", 6, 2, 0, "label of the folder name field in the folder browser",
     "&Folder name:"},
    {"messages.browser_drive_label", 6, 3, 0, "label of the drive list in the folder browser", "Dri&ves:"},
    {"messages.checking_destination", 6, 4, 0, "note shown while the destination is examined",
     "Checking the destination folder..."},
    {"messages.invalid_folder", 6, 5, 0, "the folder name is not valid",
     "The folder name is not valid, or the folder cannot be created."},
    {"messages.create_folder", 6, 6, 0, "question: create the missing destination folder?",
     "The destination folder does not exist. Do you want to create it?"},
    {"messages.overwrite_read_only", 6, 7, 0, "question: overwrite write-protected files?",
     "Some of the files to be replaced are write-protected. Do you want to replace them anyway?"},
    {"messages.cannot_install", 6, 8, 0, "heading of a destination problem",
     "Setup cannot install in this folder:"},
    {"messages.destination_access_denied", 6, 9, 's', "access to a file is denied (%s = file name)",
     "Access to %s is denied."},
    {"messages.file_in_use", 6, 10, 's', "a file is in use (%s = file name)",
     "%s is in use and cannot be installed."},
    {"messages.disk_space_low", 6, 11, 0, "question: too little disk space, try anyway?",
     "There is not enough free space in the destination folder. Do you want to try anyway?"},
    {"messages.out_of_memory", 6, 12, 0, "out of memory", "There is not enough memory to continue."},
    {"messages.really_stop", 6, 13, 0, "question: really stop the installation?",
     "Setup is installing files. Do you really want to stop?"},
    {"messages.really_exit", 6, 14, 0, "question: really leave the incomplete setup?",
     "The installation is not complete. Do you really want to exit Setup?"},
    {"messages.not_completed", 6, 15, 0, "the wizard did not complete the installation",
     "Setup did not complete the installation. You can run Setup again later."},
    {"messages.cannot_open", 6, 16, 's', "a file cannot be opened (%s = file name)", "Setup cannot open %s."},
    {"messages.cannot_create", 6, 17, 's', "a file cannot be created (%s = file name)", "Setup cannot create %s."},
    {"messages.file_corrupt", 6, 18, 's', "a file is corrupt or unreadable (%s = file name)",
     "%s is damaged or cannot be read."},
    {"messages.cannot_write", 6, 19, 's', "a file cannot be written (%s = file name)", "Setup cannot write %s."},
    {"messages.disk_full", 6, 20, 0, "the disk is full", "The disk is full."},
    {"messages.checksum_error", 6, 21, 's', "checksum error (%s = file name)",
     "%s is damaged (checksum error) and cannot be installed. The setup file may be incomplete."},
    {"messages.access_denied", 6, 22, 's', "access to a file is denied (%s = file name)",
     "Access to %s is denied. Close the programs that use it and try again."},
    {"messages.status_updated", 6, 23, 0, "status word: updated", "updated"},
    {"messages.status_removed", 6, 24, 0, "status word: removed", "removed"},
    {"messages.status_installed", 6, 25, 0, "status word: installed", "installed"},
    {"messages.status_cannot_remove", 6, 26, 0, "status word: cannot be removed", "cannot be removed, access denied"},
    {"messages.status_cannot_replace", 6, 27, 0, "status word: cannot be replaced",
     "cannot be replaced, access denied"},
    {"messages.insert_disk", 6, 28, 'd', "insert disk number %d", "Please insert disk %d and click OK."},
    {"messages.newer_file", 6, 29, 's', "question: the existing file is newer, overwrite? (%s = file path)",
     "%s\r\n\r\nThe file on your computer is newer than the one Setup would install. Do you want to replace it "
     "all the same?"},
    {"messages.other_language", 6, 30, 's', "question: the existing file is in another language? (%s = file path)",
     "%s\r\n\r\nThe file on your computer is in another language than the one Setup would install. Do you want "
     "to replace it?"},
    {"messages.invalid_setup", 6, 31, 0, "the setup file holds invalid data",
     "The setup file is damaged or incomplete. Please obtain a new copy of it."},
    {"messages.needs_64bit", 6, 32, 0, "a 64-bit setup started on 32-bit Windows",
     "{title} needs a 64-bit version of Windows."},
    // Group 7: button captions.
    {"buttons.back", 7, 0, 0, "caption of the Back button", "< &Back"},
    {"buttons.next", 7, 1, 0, "caption of the Next button", "&Next >"},
    {"buttons.cancel", 7, 2, 0, "caption of the Cancel button", "Cancel"},
    {"buttons.install", 7, 3, 0, "caption of the Next button on the confirmation page", "&Install"},
    {"buttons.browser_ok", 7, 4, 0, "caption of the folder browser's OK button", "OK"},
    {"buttons.stop", 7, 5, 0, "Cancel on the progress page and in the folder browser", "Cancel"},
    {"buttons.restart", 7, 6, 0, "caption of the restart button on the finish page", "&Restart"},
};

}  // namespace

const std::vector<TextRole>& TextRoles() { return kRoles; }

const TextRole* FindTextRole(std::string_view name) {
  auto found = std::find_if(kRoles.begin(), kRoles.end(), [&](const TextRole& r) { return name == r.name; });
  return found == kRoles.end() ? nullptr : &*found;
}

std::string CheckTextPlaceholders(const TextRole& role, std::string_view text) {
  if (!role.conversion) return "";
  int conversions = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') continue;
    char next = i + 1 < text.size() ? text[i + 1] : '\0';
    ++i;
    if (next == '%') continue;
    if (next != role.conversion)
      return std::string("holds \"%") + (next ? std::string(1, next) : std::string()) + "\"; " + role.meaning +
             " allows only one %" + role.conversion + " (write %% for a percent sign)";
    if (++conversions > 1) return std::string("holds more than one %") + role.conversion;
  }
  return "";
}

std::vector<std::vector<std::string>> DefaultTextGroups(std::string_view title) {
  std::vector<std::vector<std::string>> groups(8);
  for (const TextRole& role : kRoles) {
    std::vector<std::string>& group = groups[role.group];
    if (group.size() <= role.index) group.resize(role.index + 1);
    std::string text = role.fallback;
    // Searched on after each replacement: the title may itself hold "{title}".
    for (size_t at = 0; (at = text.find("{title}", at)) != std::string::npos; at += title.size())
      text.replace(at, 7, title);
    group[role.index] = text;
  }
  return groups;
}
