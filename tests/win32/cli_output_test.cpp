// kestrava-cli.exe's output into files and pipes: every line ends with exactly one
// "\r\n", on stdout and on stderr, whatever the program wrote for a line end.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <thread>

namespace kestrava {
namespace {

std::wstring cliPath() {
  std::string path = KESTRAVA_CLI;
  // The build names it by its path on the build machine; under wine that is drive Z:.
  if (!path.empty() && path[0] == '/') path = "Z:" + path;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return std::wstring(path.begin(), path.end());
}

struct Output {
  DWORD status = 0;
  std::string out;
  std::string err;
};

std::string readAll(HANDLE handle) {
  std::string text;
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(handle, buffer, sizeof buffer, &got, nullptr) && got > 0) text.append(buffer, got);
  return text;
}

// Runs kestrava-cli with `arguments`: stdout into a file, stderr into a pipe.
Output runCli(const std::wstring& arguments) {
  Output output;
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  wchar_t folder[MAX_PATH], fileName[MAX_PATH];
  EXPECT_NE(GetTempPathW(MAX_PATH, folder), 0u);
  EXPECT_NE(GetTempFileNameW(folder, L"kcl", 0, fileName), 0u);
  HANDLE file = CreateFileW(fileName, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                            CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY, nullptr);
  EXPECT_NE(file, INVALID_HANDLE_VALUE);
  HANDLE pipeRead = nullptr, pipeWrite = nullptr;
  EXPECT_TRUE(CreatePipe(&pipeRead, &pipeWrite, &inherit, 0));
  SetHandleInformation(pipeRead, HANDLE_FLAG_INHERIT, 0);

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = nullptr;
  startup.hStdOutput = file;
  startup.hStdError = pipeWrite;
  std::wstring commandLine = L"\"" + cliPath() + L"\" " + arguments;
  PROCESS_INFORMATION process{};
  BOOL started = CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr,
                                &startup, &process);
  EXPECT_TRUE(started) << GetLastError();
  CloseHandle(pipeWrite);
  if (started) {
    output.err = readAll(pipeRead);
    WaitForSingleObject(process.hProcess, INFINITE);
    GetExitCodeProcess(process.hProcess, &output.status);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
  }
  CloseHandle(pipeRead);
  SetFilePointer(file, 0, nullptr, FILE_BEGIN);
  output.out = readAll(file);
  CloseHandle(file);
  DeleteFileW(fileName);
  return output;
}

// Every "\n" has one "\r" before it, and no "\r" stands anywhere else.
void expectOneCrLfPerLine(const std::string& text) {
  ASSERT_FALSE(text.empty());
  EXPECT_EQ(text.back(), '\n');
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n') {
      ASSERT_TRUE(i > 0 && text[i - 1] == '\r') << "a lone line feed at " << i << " in:\n" << text;
      ASSERT_FALSE(i > 1 && text[i - 2] == '\r') << "\"\\r\\r\\n\" at " << i << " in:\n" << text;
    } else if (text[i] == '\r') {
      ASSERT_TRUE(i + 1 < text.size() && text[i + 1] == '\n') << "a lone carriage return at " << i;
    }
  }
}

TEST(CliOutput, EveryLineEndsWithOneCrLfInFilesAndPipes) {
  struct Case {
    const wchar_t* arguments;
    DWORD status;
    bool stdoutLines;  // stdout has lines (else: stderr has)
    const char* part;  // a text the output holds
  };
  const Case cases[] = {
      {L"--device virtual --quiet", 0, true, "Serial number"},
      {L"--device virtual --quiet --json", 0, true, "\"serialNumber\""},
      {L"--help", 0, true, "Exit status:"},
      {L"--device nonsense:x", 64, false, "kestrava-cli: --device"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.arguments, c.arguments + wcslen(c.arguments)));
    Output output = runCli(c.arguments);
    EXPECT_EQ(output.status, c.status) << output.err;
    const std::string& lines = c.stdoutLines ? output.out : output.err;
    EXPECT_NE(lines.find(c.part), std::string::npos) << lines;
    expectOneCrLfPerLine(lines);
    if (!output.err.empty()) expectOneCrLfPerLine(output.err);
    if (!output.out.empty()) expectOneCrLfPerLine(output.out);
  }
}

}  // namespace
}  // namespace kestrava
