// The error vocabulary, table by table.
#include <gtest/gtest.h>

#include <stdexcept>

#include "RuntimeFixture.h"
#include "runtime/Errors.h"

namespace {

struct Message {
  int32_t category, code;
  const char* text;
};

const Message messages[] = {
    {0, 7, "No errors."}, {7, 0, "No errors."}, {0, 0, "No errors."},
    {4, 1, "Out of range."}, {4, 2, "Not supported."}, {4, 3, "Invalid variable type."},
    {4, 4, "General \"GEN\" error."}, {4, -3, "General \"GEN\" error."},
    {5, 1, "Memory allocation fault."}, {5, 2, "Memory manager fault."},
    {5, 3, "Memory reallocation fault."}, {5, 4, "Memory could not be deallocated."},
    {5, 5, "Invalid memory request."}, {5, 6, "Fatal memory manager error."},
    {5, 7, "General memory fault."},
    {6, 3, "Cannot read from file."}, {6, 4, "Cannot write to file."},
    {6, 5, "Cannot seek in file."}, {6, 8, "Cannot close file."}, {6, 9, "File not exist."},
    {6, 10, "File name change failed."}, {6, 11, "Fatal file manager fault."},
    {6, 12, "General file handling fault."},
    {7, 1, "Image format not supported."}, {7, 2, "Invalid image format."},
    {7, 3, "Cannot decompress image data."}, {7, 4, "Image header invalid."},
    {7, 5, "Cannot compress image data."}, {7, 6, "Cannot initialize image function."},
    {7, 7, "Cannot initialize image compression data."}, {7, 8, "Cannot open image file."},
    {7, 9, "Image data corrupted."}, {7, 10, "Cannot realize palette."},
    {7, 11, "Cannot create image file."}, {7, 12, "General image handling fault."},
    {8, 1, "Audio conversion error."}, {8, 2, "Audio conversion error (ACM)."},
    {8, 3, "Audio conversion error (WAVE)."}, {8, 4, "Invalid audio format."},
    {8, 5, "General audio handling fault."},
    {9, 1, "Cannot read from AVI file."}, {9, 2, "Cannot write to AVI file."},
    {9, 3, "Cannot read audio data from AVI file."}, {9, 4, "Cannot write audio data to AVI file."},
    {9, 5, "Cannot open AVI file."}, {9, 6, "Cannot create AVI file."},
    {9, 7, "Cannot initialize AVI codec."},
    {9, 8, "AVI audio stream not valid (decompressor not found?), ignoring audio"},
    {9, 9, "General AVI handling fault."}, {9, -1, "General AVI handling fault."},
    {10, 3, "AVI subsystem malfunction: 3"}, {10, -1, "AVI subsystem malfunction: 4294967295"},
    {11, 12, "Video For Windows malfunction: 12"},
    {12, 1, "Invalid movie format."}, {12, 2, "Cannot write to movie file."},
    {12, 3, "Cannot decompress movie image data."}, {12, 4, "Cannot compress movie image data."},
    {12, 5, "Movie format not supported."}, {12, 6, "Cannot open movie file."},
    {12, 7, "End of movie reached."}, {12, 8, "Cannot create movie file."},
    {12, 9, "General \"MVI\" handling fault."}, {14, 7, "End of movie reached."},
    {14, 99, "General \"MVI\" handling fault."},
    {13, 1, "Cannot open WAV file."}, {13, 2, "Cannot create WAV file."},
    {13, 3, "Cannot read from WAV file."}, {13, 4, "Cannot write to WAV file."},
    {13, 5, "Cannot seek in WAV file."}, {13, 99, "general \"WAV\" handling fault."},
    {15, 1, "End of HAV movie reached."}, {15, 2, "General \"HAV\" handling fault."},
    {16, 1, "UNI protocol fault."}, {16, 2, "General \"UNI\" handling fault."},
    {17, 1, "End of FLIC movie reached."}, {17, 2, "General \"FLIC\" handling fault."},
    {18, 3, "Undefined error: 18:3"}, {21, 1, "Undefined error: 21:1"},
    {-1, 1, "Undefined error: 4294967295:1"},
    {19, 2, "Fatal error in Audio Compression Manager: 2"}, {20, 5, "Fatal error in Win-MM: 5"},
};

using Captured = RuntimeFixture;

}  // namespace

TEST(Messages, EveryTableAndForm) {
  for (const Message& m : messages)
    EXPECT_EQ(ErrorText(m.category, m.code), m.text) << m.category << ":" << m.code;
}

TEST(Messages, FileMessagesEndWithTheCurrentFileName) {
  std::string saved = CurrentFileName();
  SetCurrentFileName("C:\\data\\a.txt");
  EXPECT_EQ(ErrorText(6, 1), "Cannot open file: C:\\data\\a.txt");
  EXPECT_EQ(ErrorText(6, 2), "Cannot create file: C:\\data\\a.txt");
  EXPECT_EQ(ErrorText(6, 6), "Cannot delete file: C:\\data\\a.txt");
  EXPECT_EQ(ErrorText(6, 7), "Cannot append to file: C:\\data\\a.txt");
  SetCurrentFileName(saved);
}

TEST_F(Captured, CategoriesOneToThreeShowTheLastCapturedException) {
  std::string raised = RaisedBy([] { MonRun([] { throw std::runtime_error("disk on fire"); }); });
  EXPECT_EQ(raised.rfind("Exception std::runtime_error in module ", 0), 0u) << raised;
  EXPECT_NE(raised.find(".\ndisk on fire."), std::string::npos) << raised;
  for (ErrorPair e : {ErrorPair{1, 5}, ErrorPair{2, 1}, ErrorPair{3, ExceptCode}})
    EXPECT_EQ(ErrorText(e.Category, e.Code), raised) << e.Category << ":" << e.Code;

  // The next capture replaces the text.
  std::string next = RaisedBy([] { MonRun([] { throw 7; }); });
  EXPECT_EQ(next.rfind("Exception int in module ", 0), 0u) << next;
  EXPECT_EQ(ErrorText(3, ExceptCode), next);
}
