// `setvik build`; see SetupBuilder.h.
//
// Order of work: read and check every input (stub, pictures, dialogs, the
// files' contents and versions), compress the files (in parallel, each on
// its own, so the result does not depend on scheduling), lay out the chunk
// stream, cut the file data into the setup file and its volumes, then write
// everything under temporary names and rename at the end.
#include "authoring/SetupBuilder.h"

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <mutex>
#include <thread>

#include "authoring/Bitmap.h"
#include "authoring/DialogTemplates.h"
#include "authoring/FileTimes.h"
#include "authoring/FontSpec.h"
#include "authoring/Manifest.h"
#include "authoring/PeVersion.h"
#include "authoring/SetupFile.h"
#include "setupdata/FileRecord.h"
#include "uninstlog/UninstallerFile.h"

namespace {

struct BuildError {
  std::string message;
};

[[noreturn]] void Fail(const std::string& message) { throw BuildError{message}; }

std::vector<uint8_t> ReadInput(const std::string& path) {
  std::vector<uint8_t> bytes;
  std::string error;
  if (!ReadWholeFile(path, bytes, error)) Fail(error);
  return bytes;
}

// The manifest both programs carry for this project.
ManifestSettings ManifestFor(const Project& project) {
  ManifestSettings settings;
  settings.asInvoker = (project.setupFlags & kPerUserScope) != 0;
  settings.utf8 = (project.setupFlags & kUtf8Texts) != 0;
  return settings;
}

std::vector<uint8_t> ReadStub(const std::string& path, const ManifestSettings& manifest) {
  std::vector<uint8_t> stub = ReadInput(path);
  std::string error;
  std::optional<uint32_t> stubSize = FindStubSize(path, error);
  if (!stubSize) Fail(error);
  if (*stubSize != stub.size())
    Fail(path + ": the stub says it is " + std::to_string(*stubSize) + " bytes long, but the file has " +
         std::to_string(stub.size()) + " (a stub must be used as built)");
  if (!FillManifestSlot(stub, manifest, error)) Fail(path + ": " + error);
  return stub;
}

// Reports progress on standard error, at most a few times a second.
class Progress {
 public:
  Progress(bool enabled, size_t files, uint64_t bytes) : enabled(enabled), totalFiles(files), totalBytes(bytes) {}
  void Add(uint64_t bytes) {
    if (!enabled) return;
    std::lock_guard<std::mutex> lock(mutex);
    ++doneFiles;
    doneBytes += bytes;
    if (doneFiles == totalFiles || ++ticks % 16 == 0)
      fprintf(stderr, "\rsetvik: packed %zu/%zu files, %.1f/%.1f MB", doneFiles, totalFiles, doneBytes / 1e6,
              totalBytes / 1e6);
    if (doneFiles == totalFiles) fputc('\n', stderr);
  }

 private:
  bool enabled;
  size_t totalFiles, doneFiles = 0, ticks = 0;
  uint64_t totalBytes, doneBytes = 0;
  std::mutex mutex;
};

// One file's record and content, read and checked before compression.
struct PendingFile {
  FileRecordInfo record;
  std::vector<uint8_t> content;
  bool external;
};

PendingFile ReadFile(const ProjectFile& file) {
  PendingFile pending{file.record, {}, file.record.uninstallMode == kUninstallExternal};
  const std::string name = file.record.strings[kStringFileName];
  if (!file.source.empty()) pending.content = ReadInput(file.source);
  if (pending.content.size() > 0xFFFFFFFFull) Fail(file.source + ": files of 4 GiB or more cannot be stored");
  if (file.record.optionFlags & kOptionUninstaller) {
    // The setup appends the uninstall log over the last eight bytes.
    const std::vector<uint8_t>& c = pending.content;
    if (c.size() < kChunkHeaderSize || !std::equal(c.end() - kChunkHeaderSize, c.end(), kFreeLogHeader))
      pending.content.insert(pending.content.end(), kFreeLogHeader, kFreeLogHeader + kChunkHeaderSize);
  }
  if (file.versionFromSource) {
    std::string error;
    if (file.source.empty()) Fail(file.where + ": " + name + " has no source to read its version from");
    std::optional<PeVersionInfo> version = ReadPeVersion(pending.content, error);
    const char* hint = " (give the version by hand, or drop check_version/check_language)";
    if (!version) Fail(file.source + ": " + error + hint);
    if ((file.record.optionFlags & kOptionCheckVersion) && !version->hasFixedInfo)
      Fail(file.source + ": its version resource holds no fixed version information" + hint);
    if ((file.record.optionFlags & kOptionCheckLanguage) && !version->hasTranslation)
      Fail(file.source + ": its version resource names no language (no Translation value)" + hint);
    pending.record.version = {version->fileVersionMS, version->fileVersionLS, version->productVersionMS,
                              version->productVersionLS, version->languageId};
  }
  if (file.timesFromSource) {
    std::string error;
    std::optional<FileTimes> times = ReadSourceFileTimes(file.source, error);
    if (!times) Fail(error);
    pending.record.times = *times;
  }
  if (pending.external && file.externalSize) {
    pending.record.fileSize = *file.externalSize;
  }
  return pending;
}

// A text as one shell word: in single quotes, each quote closed, escaped
// and reopened.
std::string ShellWord(const std::string& text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

std::string Replaced(std::string text, const std::string& word, const std::string& by) {
  for (size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + by.size()))
    text.replace(at, word.size(), by);
  return text;
}

// Runs the signing command on bytes (what: the file's name in messages):
// {in} is a copy of them in a private temporary folder, {out} a path there
// that the command creates. The command's output goes to standard error.
// check looks at the signed file before it is taken: "" or what is wrong.
std::vector<uint8_t> Sign(const std::string& command, const std::vector<uint8_t>& bytes, const std::string& what,
                          const std::function<std::string(const std::string& out)>& check) {
  const char* tmp = getenv("TMPDIR");
  std::string folder = std::string(tmp && *tmp ? tmp : "/tmp") + "/setvik-sign.XXXXXX";
  if (!mkdtemp(folder.data())) Fail(what + ": cannot create a folder for signing: " + strerror(errno));
  const std::string in = folder + "/unsigned.exe", out = folder + "/signed.exe";
  std::string error;
  std::vector<uint8_t> result;
  if (WriteFileAtomically(in, bytes, error)) {
    const std::string line = "(" + Replaced(Replaced(command, "{in}", ShellWord(in)), "{out}", ShellWord(out)) + ") >&2";
    const int status = system(line.c_str());
    if (status == -1 || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
      error = what + ": the signing command failed (" +
              (status != -1 && WIFEXITED(status) ? "exit code " + std::to_string(WEXITSTATUS(status)) : "not run") +
              "): " + command;
    else if (!ReadWholeFile(out, result, error))
      error = what + ": the signing command wrote no {out} (" + error + ")";
    else if (std::string problem = check(out); !problem.empty())
      error = what + ": " + problem;
  }
  unlink(in.c_str());
  unlink(out.c_str());
  rmdir(folder.c_str());
  if (!error.empty()) Fail(error);
  return result;
}

// The [uninstaller] table's file: Setvik's uninstaller with the project's
// texts, signed when the build signs: the texts and the free header then
// lie before the certificate table, and the setup writes the log beside it.
PendingFile ReadUninstaller(const ProjectUninstaller& uninstaller, const BuildOptions& options,
                            const ManifestSettings& manifest) {
  const std::string& programPath = options.uninstallerPath;
  if (programPath.empty()) Fail(uninstaller.where + ": [uninstaller] needs setvik-uninst.exe (--uninstaller PATH)");
  std::vector<uint8_t> content;
  std::string error;
  std::vector<uint8_t> program = ReadInput(programPath);
  if (!FillManifestSlot(program, manifest, error) ||
      !MakeUninstallerFile(program, uninstaller.texts, content, error))
    Fail(programPath + ": " + error);
  if (options.signCommand.empty()) return PendingFile{uninstaller.record, std::move(content), false};
  const uint32_t markAt = static_cast<uint32_t>(std::search(content.begin(), content.end(), kUninstallerMarkTag,
                                                            kUninstallerMarkTag + sizeof kUninstallerMarkTag) -
                                                content.begin());
  const uint32_t programSize = ReadU32Le(content.data() + markAt + sizeof kUninstallerMarkTag);
  std::vector<uint8_t> signedFile = Sign(options.signCommand, content, programPath, [&](const std::string& out) {
    std::vector<uint8_t> bytes;
    std::string ignored;
    UninstallerLayout layout;
    if (ReadWholeFile(out, bytes, ignored) &&
        ReadUninstallerFile(bytes.data(), static_cast<uint32_t>(bytes.size()), programSize, &layout) ==
            kUninstallerLogBeside)
      return std::string();
    return std::string("the signed uninstaller does not keep its program, texts and free header before a "
                       "certificate table that ends the file");
  });
  return PendingFile{uninstaller.record, std::move(signedFile), false};
}

// The finished setup file, signed; the stub's loader must accept it.
void SignSetup(const std::string& command, std::vector<uint8_t>& setup, const std::string& setupPath) {
  setup = Sign(command, setup, setupPath, [](const std::string& out) {
    std::string error;
    if (!LoadSetup(out, error))
      return "the signed setup does not load (its file data must end at most 7 zero bytes before a certificate "
             "table that ends the file): " + error;
    UnloadSetup();
    return std::string();
  });
}

std::vector<SetupFileEntry> PackFiles(const Project& project, const BuildOptions& options) {
  const bool showProgress = options.progress;
  std::vector<PendingFile> pending;
  uint64_t total = 0;
  for (const ProjectFile& file : project.files) {
    pending.push_back(ReadFile(file));
    total += pending.back().content.size();
  }
  if (project.uninstaller) {
    pending.push_back(ReadUninstaller(*project.uninstaller, options, ManifestFor(project)));
    total += pending.back().content.size();
  }
  std::vector<SetupFileEntry> entries(pending.size());
  Progress progress(showProgress, pending.size(), total);
  std::atomic<size_t> next{0};
  auto work = [&] {
    for (size_t i; (i = next++) < pending.size();) {
      PendingFile& p = pending[i];
      entries[i] = PackFile(p.record, p.content, project.level);
      if (p.external && p.content.empty()) entries[i].record.fileSize = p.record.fileSize;
      progress.Add(p.content.size());
      std::vector<uint8_t>().swap(p.content);
    }
  };
  unsigned workers = std::max(1u, std::min(std::thread::hardware_concurrency(), 8u));
  std::vector<std::thread> threads;
  for (unsigned w = 1; w < workers; ++w) threads.emplace_back(work);
  work();
  for (std::thread& t : threads) t.join();
  return entries;
}

std::vector<uint8_t> LoadDialogTemplates(const Project& project) {
  std::vector<uint8_t> res;
  std::string error;
  if (project.dialogScript) {
    if (!CompileResourceScript(*project.dialogScript, res, error)) Fail(error);
  } else if (project.dialogResources) {
    if (!ReadResourceFile(*project.dialogResources, res, error)) Fail(error);
  } else {
    std::span<const uint8_t> defaults = DefaultDialogResources();
    res.assign(defaults.begin(), defaults.end());
  }
  std::vector<uint8_t> body;
  const std::string source = project.dialogScript      ? *project.dialogScript
                             : project.dialogResources ? *project.dialogResources
                                                       : std::string("the default dialogs");
  if (!DialogTemplatesBody(res, body, error)) Fail(source + ": " + error);
  return body;
}

std::vector<uint8_t> LoadPicture(const std::string& path) {
  std::vector<uint8_t> bytes = ReadInput(path);
  std::string error;
  if (!CheckSetupBitmap(bytes, error)) Fail(path + ": " + error);
  return bytes;
}

void AddOptionalText(SetupWriter& writer, uint16_t id, const std::optional<std::string>& text) {
  if (text) writer.AddText(id, *text);
}

// The chunk stream up to, not including, the FileData chunk.
void AddSettings(const Project& project, SetupWriter& writer) {
  writer.AddU32(kChunkSetupFlags, project.setupFlags);
  writer.AddTexts(project.texts);
  writer.AddText(kChunkDefaultDir, project.defaultDir);
  if (project.framePicture) writer.AddChunk(kChunkFramePicture, LoadPicture(*project.framePicture), true);
  if (project.backgroundBitmap) writer.AddChunk(kChunkBackgroundBitmap, LoadPicture(*project.backgroundBitmap), true);
  AddOptionalText(writer, kChunkUninstallName, project.uninstallName);
  AddOptionalText(writer, kChunkBackgroundTitle, project.backgroundTitle);
  if (project.HasUninstallEntry()) {
    std::vector<uint8_t> entry(4);
    WriteU32Le(entry.data(), project.iconRecord);
    for (const std::optional<std::string>& text : project.entryTexts) {
      const std::string value = text.value_or("");
      entry.insert(entry.end(), value.begin(), value.end());
      entry.push_back(0);
    }
    writer.AddChunk(kChunkUninstallEntry, entry, true);
  }
  if (project.backgroundFont) {
    std::string error;
    std::vector<uint8_t> font;
    const ProjectFont& f = *project.backgroundFont;
    if (!BuildLogFont(f.face, f.height, f.weight, f.italic, font, error)) Fail(project.path + ": background.font: " + error);
    writer.AddChunk(kChunkBackgroundFont, font, false);
  }
  if (project.dirRegistryRoot) writer.AddU32(kChunkDirRegistryRoot, *project.dirRegistryRoot);
  AddOptionalText(writer, kChunkDirRegistryKey, project.dirRegistryKey);
  AddOptionalText(writer, kChunkDirRegistryValue, project.dirRegistryValue);
  AddOptionalText(writer, kChunkDirIniFile, project.dirIniFile);
  AddOptionalText(writer, kChunkDirIniSection, project.dirIniSection);
  AddOptionalText(writer, kChunkDirIniKey, project.dirIniKey);
  writer.AddChunk(kChunkDialogTemplates, LoadDialogTemplates(project), true);
  if (project.singlePage) writer.AddU16(kChunkSinglePage, *project.singlePage);
}

struct Output {
  std::string path;
  std::vector<uint8_t> bytes;
};

// Cuts the file data into the setup file's FileData chunk and the volumes.
std::vector<Output> LayOut(const Project& project, const std::string& setupPath, SetupWriter& writer,
                           const std::vector<uint8_t>& data) {
  const uint64_t prefix = writer.Size() + kChunkHeaderSize + 4;
  uint64_t inSetup = data.size();
  if (project.setupSizeLimit) {
    if (prefix > project.setupSizeLimit)
      Fail(project.path + ": volumes.setup_size is " + std::to_string(project.setupSizeLimit) +
           " bytes, but the stub and the setup description alone take " + std::to_string(prefix));
    inSetup = std::min<uint64_t>(inSetup, project.setupSizeLimit - prefix);
  }
  if (prefix + inSetup > 0xFFFFFFFFull) Fail(project.path + ": the setup file would reach 4 GiB; use [volumes]");
  std::span<const uint8_t> all(data);
  std::vector<uint8_t> body(4);
  WriteU32Le(body.data(), static_cast<uint32_t>(inSetup));
  body.insert(body.end(), all.begin(), all.begin() + inSetup);
  writer.AddRawChunk(kChunkFileData, 0, static_cast<uint32_t>(body.size()), body);
  std::vector<Output> outputs{{setupPath, writer.Bytes()}};
  uint64_t at = inSetup;
  for (uint32_t volume = 1; at < data.size(); ++volume) {
    if (volume > 99999) Fail(project.path + ": more than 99999 volumes; use a larger volumes.volume_size");
    uint64_t part = std::min<uint64_t>(data.size() - at, project.volumeSizeLimit - 4);
    std::vector<uint8_t> bytes(4);
    WriteU32Le(bytes.data(), static_cast<uint32_t>(part));
    bytes.insert(bytes.end(), all.begin() + at, all.begin() + at + part);
    outputs.push_back({VolumeFileName(setupPath, volume), std::move(bytes)});
    at += part;
  }
  return outputs;
}

// Every file the build reads, for the check that no output replaces one.
std::vector<std::string> InputPaths(const Project& project, const BuildOptions& options) {
  std::vector<std::string> inputs{project.path, options.stubPath};
  if (project.uninstaller) inputs.push_back(options.uninstallerPath);
  for (const ProjectFile& file : project.files)
    if (!file.source.empty()) inputs.push_back(file.source);
  for (const auto* path : {&project.framePicture, &project.backgroundBitmap, &project.dialogScript,
                           &project.dialogResources})
    if (*path) inputs.push_back(**path);
  return inputs;
}

// Refuses an output that is one of the inputs (the same file, by device
// and inode) or a folder.
void CheckOutputPaths(const std::vector<Output>& outputs, const std::vector<std::string>& inputs) {
  for (const Output& out : outputs) {
    struct stat target;
    if (lstat(out.path.c_str(), &target) != 0) continue;
    if (S_ISDIR(target.st_mode)) Fail(out.path + ": is a folder; the build writes a file there");
    if (stat(out.path.c_str(), &target) != 0) continue;
    for (const std::string& input : inputs) {
      struct stat source;
      if (stat(input.c_str(), &source) == 0 && source.st_dev == target.st_dev && source.st_ino == target.st_ino)
        Fail(out.path + ": is also an input of the build (" + input + "); choose another output name");
    }
  }
}

// Writes every output under a temporary name of its own (created
// exclusively), then puts them all in place: either every output is
// replaced or, after a failure, each is as it was before. Volumes of an
// earlier build beyond the last one written are removed, so no stale disk
// remains.
void WriteOutputs(const std::vector<Output>& outputs) {
  std::vector<std::string> temporaries(outputs.size()), backups(outputs.size());
  size_t placed = 0;
  auto failWith = [&](const std::string& path, int cause) {
    for (size_t j = placed; j-- > 0;) {  // undo, newest first
      if (!backups[j].empty()) rename(backups[j].c_str(), outputs[j].path.c_str());
      else unlink(outputs[j].path.c_str());
      backups[j].clear();
    }
    for (const std::string& t : temporaries)
      if (!t.empty()) unlink(t.c_str());
    for (const std::string& b : backups)
      if (!b.empty()) unlink(b.c_str());
    Fail(path + ": cannot write: " + strerror(cause));
  };
  for (size_t i = 0; i < outputs.size(); ++i) {
    const int fd = CreateTemporaryBeside(outputs[i].path, temporaries[i]);
    if (fd < 0) {
      const int cause = errno;
      temporaries[i].clear();
      failWith(outputs[i].path, cause);
    }
    const std::vector<uint8_t>& bytes = outputs[i].bytes;
    bool ok = true;
    for (size_t at = 0; ok && at < bytes.size(); at += 1u << 30)
      ok = FileWrite(fd, bytes.data() + at, static_cast<uint32_t>(std::min<size_t>(bytes.size() - at, 1u << 30))) == 0;
    int cause = ok ? 0 : (errno ? errno : ENOSPC);
    if (close(fd) != 0 && ok) ok = false, cause = errno;
    if (!ok) failWith(outputs[i].path, cause);
  }
  for (size_t i = 0; i < outputs.size(); ++i) {
    const char* path = outputs[i].path.c_str();
    struct stat st;
    if (lstat(path, &st) == 0) {  // kept until every output is in place
      const int fd = CreateTemporaryBeside(outputs[i].path, backups[i]);
      if (fd < 0 || close(fd) != 0 || rename(path, backups[i].c_str()) != 0) {
        const int cause = errno;
        if (fd >= 0) unlink(backups[i].c_str());
        backups[i].clear();
        failWith(outputs[i].path, cause);
      }
    }
    if (rename(temporaries[i].c_str(), path) != 0) {
      const int cause = errno;
      if (!backups[i].empty()) rename(backups[i].c_str(), path);
      backups[i].clear();
      failWith(outputs[i].path, cause);
    }
    temporaries[i].clear();
    ++placed;
  }
  for (const std::string& b : backups)
    if (!b.empty()) unlink(b.c_str());
  for (uint32_t volume = static_cast<uint32_t>(outputs.size());; ++volume) {
    std::string stale = VolumeFileName(outputs[0].path, volume);
    if (unlink(stale.c_str()) != 0) break;
  }
}

}  // namespace

std::string VolumeFileName(const std::string& setupPath, uint32_t volume) {
  size_t slash = setupPath.find_last_of('/');
  size_t dot = setupPath.find_last_of('.');
  std::string base = (dot == std::string::npos || (slash != std::string::npos && dot < slash)) ? setupPath
                                                                                              : setupPath.substr(0, dot);
  char suffix[16];
  snprintf(suffix, sizeof(suffix), ".D%02u", volume);
  return base + suffix;
}

bool MakeUninstallerFile(const std::vector<uint8_t>& program, const std::vector<std::string>& texts,
                         std::vector<uint8_t>& file, std::string& error) {
  uint32_t markAt = 0;
  if (!FindUninstallerMark(program.data(), static_cast<uint32_t>(program.size()), &markAt)) {
    error = "not Setvik's uninstaller (no uninstaller mark)";
    return false;
  }
  const uint32_t programSize = ReadU32Le(program.data() + markAt + sizeof(kUninstallerMarkTag));
  if (programSize < markAt + sizeof(UninstallerMarkRecord) || programSize > program.size()) {
    error = "the uninstaller says it is " + std::to_string(programSize) + " bytes long, but the file has " +
            std::to_string(program.size()) + " (use setvik-uninst.exe as built)";
    return false;
  }
  if (texts.size() != kUninstallerTextCount) {
    error = "the uninstaller takes " + std::to_string(kUninstallerTextCount) + " texts";
    return false;
  }
  std::vector<const char*> pointers;
  for (const std::string& text : texts) pointers.push_back(text.c_str());
  file.resize(programSize + 2 * kChunkHeaderSize + 2 + kUninstallerTextCount * (kUninstallerTextMaxLength + 1));
  uint32_t size = 0;
  if (!WriteUninstallerFile(program.data(), programSize, pointers.data(), file.data(),
                            static_cast<uint32_t>(file.size()), &size)) {
    error = "an uninstaller text is longer than " + std::to_string(kUninstallerTextMaxLength) +
            " characters or holds a NUL";
    return false;
  }
  file.resize(size);
  return true;
}

bool BuildSetup(const Project& project, const BuildOptions& options, BuildReport& report, std::string& error) {
  report = BuildReport{};
  try {
    SetupWriter writer(ReadStub(options.stubPath, ManifestFor(project)), project.level);
    AddSettings(project, writer);
    std::vector<SetupFileEntry> files = PackFiles(project, options);
    writer.AddFileTable(files);
    std::vector<uint8_t> data;
    for (const SetupFileEntry& f : files) {
      data.insert(data.end(), f.stream.begin(), f.stream.end());
      report.contentBytes += f.record.uninstallMode == kUninstallExternal ? 0 : f.record.fileSize;
    }
    report.files = static_cast<uint32_t>(files.size());
    report.packedBytes = data.size();
    std::vector<Output> outputs = LayOut(project, options.outputPath, writer, data);
    if (!options.signCommand.empty()) SignSetup(options.signCommand, outputs[0].bytes, options.outputPath);
    CheckOutputPaths(outputs, InputPaths(project, options));
    WriteOutputs(outputs);
    report.setupBytes = outputs[0].bytes.size();
    for (size_t i = 1; i < outputs.size(); ++i) report.volumes.push_back(outputs[i].path);
  } catch (const BuildError& e) {
    error = e.message;
    return false;
  }
  return true;
}
