// setvik deflate / setvik inflate: one raw stream of the setup compression
// format, from file to file. Output is written to a temporary name and
// renamed only when it is complete.
#include <errno.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include "authoring/Encoder.h"
#include "authoring/SetupFile.h"
#include "authoring/Sinks.h"
#include "authoring/cli/Commands.h"
#include "base/FileAccess.h"
#include "inflate/Inflater.h"
#include "inflate/OutputSink.h"

namespace {

const char* ResultName(int result) {
  switch (result) {
    case kInflateInvalidData: return "invalid data";
    case kInflateBadBlock: return "invalid block type or over-subscribed code";
    case kInflateNoMemory: return "out of memory";
    default: return "cannot read the input";
  }
}

}  // namespace

int RunDeflate(const Arguments& args) {
  int level = kEncodeLevelDefault;
  std::vector<std::string> files;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--level" && i + 1 < args.size()) {
      const std::string& value = args[++i];
      char* end = nullptr;
      long parsed = strtol(value.c_str(), &end, 10);
      if (value.empty() || *end != '\0' || parsed < 0 || parsed > kEncodeLevelMax)
        return Fail("--level takes a whole number from 0 to " + std::to_string(kEncodeLevelMax), 2);
      level = static_cast<int>(parsed);
    } else {
      files.push_back(args[i]);
    }
  }
  if (files.size() != 2) return Usage();
  std::vector<uint8_t> input;
  std::string error;
  if (!ReadWholeFile(files[0], input, error)) return Fail(error);
  std::vector<uint8_t> stream = EncodeStream(input.data(), input.size(), level);
  if (!WriteFileAtomically(files[1], stream, error)) return Fail(error);
  return 0;
}

int RunInflate(const Arguments& args) {
  if (args.size() != 2) return Usage();
  const std::string& in = args[0];
  const std::string& out = args[1];
  std::string error;
  if (!CheckRegularFile(in, error)) return Fail(error);
  FileHandle source = FileOpen(in.c_str(), kFileRead);
  if (source == kInvalidFile) return Fail(in + ": cannot open");
  const uint32_t inputSize = FileSize(source);
  std::string temporary;
  const FileHandle output = CreateTemporaryBeside(out, temporary);
  if (output == kInvalidFile) {
    const int cause = errno;
    FileClose(source);
    return Fail(out + ": cannot create: " + strerror(cause));
  }
  CheckedFileSink sink(output);
  Inflater inflater;
  int result = inflater.DecodeToSink(sink, source, 0);
  inflater.EndInput();
  const uint32_t consumed = FileTell(source);
  FileClose(source);
  FileClose(output);
  if (sink.failed) {
    unlink(temporary.c_str());
    return Fail(out + ": cannot write (disk full?)");
  }
  if (result != kInflateOk) {
    unlink(temporary.c_str());
    return Fail(in + ": not a valid stream (decoder result " + std::to_string(result) + ": " +
                ResultName(result) + ")");
  }
  if (rename(temporary.c_str(), out.c_str()) != 0) {
    const int cause = errno;
    unlink(temporary.c_str());
    return Fail(out + ": cannot write: " + strerror(cause));
  }
  if (consumed != inputSize)
    fprintf(stderr, "setvik: %s: note: the stream ends at byte %u; %u further bytes were not read\n", in.c_str(),
            consumed, inputSize - consumed);
  return 0;
}
