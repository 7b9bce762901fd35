// kestrava-cli.exe's output into files and pipes: every line ends with exactly one
// "\r\n", on stdout and on stderr, whatever the program wrote for a line end.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <thread>

namespace kestrava {
namespace {

std::wstring cliPath() {
  // In the build folder, and where the 32-bit guest copies the programs, kestrava-cli.exe
  // is in the folder above the tests.
  wchar_t self[MAX_PATH] = {};
  DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring beside(self, length);
  std::size_t slash = beside.find_last_of(L"\\/");
  if (slash != std::wstring::npos) {
    beside = beside.substr(0, slash) + L"\\..\\kestrava-cli.exe";
    if (GetFileAttributesW(beside.c_str()) != INVALID_FILE_ATTRIBUTES) return beside;
  }
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

// A console of this test process, for the programs it starts; freed again at the end,
// and the test's own output goes where it went before.
class OwnConsole {
 public:
  OwnConsole() {
    FreeConsole();
    made_ = AllocConsole() != FALSE;
  }
  ~OwnConsole() {
    if (made_) FreeConsole();
    for (int i = 0; i < 3; ++i) SetStdHandle(kWhich[i], saved_[i]);
  }
  bool made() const { return made_; }

 private:
  static constexpr DWORD kWhich[3] = {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};
  HANDLE saved_[3] = {GetStdHandle(kWhich[0]), GetStdHandle(kWhich[1]), GetStdHandle(kWhich[2])};
  bool made_ = false;
};

std::wstring consoleText(HANDLE console) {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (!GetConsoleScreenBufferInfo(console, &info)) return {};
  DWORD cells = static_cast<DWORD>(info.dwSize.X) * static_cast<DWORD>(info.dwCursorPosition.Y + 1);
  std::wstring text(cells, L' ');
  DWORD read = 0;
  ReadConsoleOutputCharacterW(console, text.data(), cells, COORD{0, 0}, &read);
  text.resize(read);
  return text;
}

// Whatever the console's code page, the characters the program means reach it: the same
// text as its UTF-8 output into a file.
TEST(CliOutput, AConsoleInAnotherCodePageShowsTheTextAsCharacters) {
  // A serial number outside ASCII: the printer's bytes as the program decodes them.
  wchar_t folder[MAX_PATH], scenarioName[MAX_PATH];
  ASSERT_NE(GetTempPathW(MAX_PATH, folder), 0u);
  ASSERT_NE(GetTempFileNameW(folder, L"ksc", 0, scenarioName), 0u);
  const std::string scenario =
      "{\"productId\": \"0xCA31\", \"commands\": {\"serialNumber\": \"S\\u00e9r\\u00ef\\u00e8\"},"
      " \"oids\": {\"OID_PLATFORM_PRODUCT_SERIAL_NUM.0\": \"S\\u00e9r\\u00ef\\u00e8\"}}";
  HANDLE file = CreateFileW(scenarioName, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  WriteFile(file, scenario.data(), static_cast<DWORD>(scenario.size()), &written, nullptr);
  CloseHandle(file);
  const std::wstring arguments = L"--quiet --device \"virtual:" + std::wstring(scenarioName) + L"\"";

  Output inFile = runCli(arguments);
  ASSERT_EQ(inFile.status, 0u) << inFile.err;
  std::size_t line = inFile.out.find("Serial number: ");
  ASSERT_NE(line, std::string::npos) << inFile.out;
  std::string serialLine = inFile.out.substr(line, inFile.out.find('\r', line) - line);
  ASSERT_NE(serialLine.find('\xC3'), std::string::npos) << "no character outside ASCII in: " << serialLine;
  int units = MultiByteToWideChar(CP_UTF8, 0, serialLine.data(), static_cast<int>(serialLine.size()), nullptr, 0);
  std::wstring expected(static_cast<std::size_t>(units), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, serialLine.data(), static_cast<int>(serialLine.size()), expected.data(), units);

  {
    OwnConsole console;
    if (!console.made()) GTEST_SKIP() << "no console could be made here: " << GetLastError();
    ASSERT_TRUE(SetConsoleOutputCP(850));
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE screen = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(screen, INVALID_HANDLE_VALUE);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = screen;
    startup.hStdError = screen;
    std::wstring commandLine = L"\"" + cliPath() + L"\" " + arguments;
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                               &process))
        << GetLastError();
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD status = 1;
    GetExitCodeProcess(process.hProcess, &status);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    EXPECT_EQ(status, 0u);
    std::wstring shown = consoleText(screen);
    CloseHandle(screen);
    EXPECT_NE(shown.find(expected), std::wstring::npos)
        << "the console shows: " << std::string(shown.begin(), shown.end());
    EXPECT_EQ(GetConsoleOutputCP(), 850u);  // the program leaves the console's code page alone
  }
  DeleteFileW(scenarioName);
}

}  // namespace
}  // namespace kestrava
