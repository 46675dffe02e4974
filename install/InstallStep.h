// The installation loop: one file record per step, in table order. A step
// builds the target path, makes the write decision, decodes the record's
// stream into a temporary file beside the target (.$$A, .$$B, ...),
// verifies it, puts it in place (or schedules it for the next restart when
// the old file is in use) and runs the record's follow-up actions.
#pragma once

#include <stdint.h>
#include <windows.h>

// Process-wide state of the engine (one installation per process).
extern bool InstallRunning;      // set by StartInstallation; cleared by the uninstall writer
extern int FileIndex;            // record of the current step; -1 before the first
extern uint8_t* CurrentRecord;   // the record that the next step handles
extern int InstallError;         // 0 or kInstallError*: the group-6 text that says why it stopped
extern bool RestartNeeded;       // a replacement waits for the next restart

// Records remembered during the installation for the finish page and the
// actions after the wizard (install/InstallState.cpp): the program of the
// launch button, the program run after the wizard, the screen saver to
// install. A later record with the same role replaces an earlier one.
extern uint8_t* LaunchRecord;
extern uint8_t* RunAfterRecord;
extern uint8_t* ScreenSaverRecord;
// Forgets all three: nothing is launched, run or installed afterwards.
void ForgetLaunchRecords();

// What the installation shows while it runs, and how it is told that the
// user gave up on a missing disk. The page that runs the steps fills it in.
struct InstallView {
  void (*showCurrentFile)(const char* path);  // the step's target
  void (*setProgress)(uint32_t percent);      // after each step
  void (*abandon)();                          // after the user gave up on a disk; may be null
};

// Values of InstallError, which are also indexes of group-6 texts.
const int kInstallErrorOpen = 16;      // setup file, or the written temporary file, would not open
const int kInstallErrorCreate = 17;    // the temporary file could not be created
const int kInstallErrorChecksum = 21;  // the written file differs from contentChecksum
const int kInstallErrorAbort = 22;     // the user answered Abort for a busy target

// Abort/Retry/Ignore answers of ResolveBusyTarget (message-box results).
const int kAnswerAbort = 3;
const int kAnswerRetry = 4;
const int kAnswerIgnore = 5;

// Opens the setup file (SetupFilePath, copied to DataFilePath) as
// InputHandle at its first file-data byte; VolumeNumber 0. False with
// InstallError 16 and ErrorFileName when it does not open. view stays in
// use until the installation ends.
bool StartInstallation(const InstallView* view);

// One step. True: a record was handled, call again. False: no record left,
// or the step failed (InstallError, ErrorFileName); its temporary file is
// gone and its target untouched. A step during which the user gave up on
// a missing disk fails with InstallError 16 naming that volume. Each
// file's outcome, and a failure, goes to the /LOG file.
bool InstallNextFile();

// Puts temporary in place of TargetPath for record. The old target is
// renamed aside rather than deleted, so that it can be put back when the
// final rename fails; a read-only target stays read-only. A target in use
// (one that could not be deleted: held open, or a running program or loaded
// library) goes to ResolveBusyTarget. A missing target sets nothing aside
// and schedules nothing. A folder in the target's place leaves installState
// 27 with InstallError 17 (temporary kept for the step's failure exit). installState: 23 replaced, 25 new, 27 the user
// ended with Abort (temporary then gone).
void ReplaceTarget(uint8_t* record, const char* temporary);

// What to do about a TargetPath that cannot be replaced now: kinds 1 and 2
// are replaced at the next restart (RestartNeeded), kind 3 keeps the old
// font; otherwise a target with the record's content is left as it is, and
// any other is asked about (text 6/22, Abort/Retry/Ignore). Returns the
// answer; temporary is kept only for Retry.
int ResolveBusyTarget(uint8_t* record, const char* temporary);
