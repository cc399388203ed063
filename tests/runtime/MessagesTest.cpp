// The error vocabulary, table by table.
#include <gtest/gtest.h>

#include <stdexcept>

#include "RuntimeFixture.h"
#include "runtime/Errors.h"

namespace {

struct Message {
  ErrorPair pair;  // by its name in the error table where it has one
  const char* text;
};

const Message messages[] = {
    {{0, 7}, "No errors."},
    {{7, 0}, "No errors."},
    {{0, 0}, "No errors."},
    {ErrOutOfRange, "Out of range."},
    {ErrNotSupported, "Not supported."},
    {ErrInvalidVariableType, "Invalid variable type."},
    {{4, 4}, "General \"GEN\" error."},
    {{4, -3}, "General \"GEN\" error."},
    {ErrMemAllocFault, "Memory allocation fault."},
    {ErrMemManagerFault, "Memory manager fault."},
    {ErrMemReallocFault, "Memory reallocation fault."},
    {ErrMemCannotFree, "Memory could not be deallocated."},
    {ErrMemInvalidRequest, "Invalid memory request."},
    {ErrMemFatal, "Fatal memory manager error."},
    {{5, 7}, "General memory fault."},
    {ErrFileCannotRead, "Cannot read from file."},
    {ErrFileCannotWrite, "Cannot write to file."},
    {ErrFileCannotSeek, "Cannot seek in file."},
    {ErrFileCannotClose, "Cannot close file."},
    {ErrFileNotExist, "File not exist."},
    {ErrFileRenameFailed, "File name change failed."},
    {ErrFileFatal, "Fatal file manager fault."},
    {{6, 12}, "General file handling fault."},
    {ErrImgNotSupported, "Image format not supported."},
    {ErrImgInvalidFormat, "Invalid image format."},
    {ErrImgCannotDecompress, "Cannot decompress image data."},
    {ErrImgHeaderInvalid, "Image header invalid."},
    {ErrImgCannotCompress, "Cannot compress image data."},
    {ErrImgCannotInitFunction, "Cannot initialize image function."},
    {ErrImgCannotInitCompression, "Cannot initialize image compression data."},
    {ErrImgCannotOpen, "Cannot open image file."},
    {ErrImgDataCorrupted, "Image data corrupted."},
    {ErrImgCannotRealizePalette, "Cannot realize palette."},
    {ErrImgCannotCreate, "Cannot create image file."},
    {{7, 12}, "General image handling fault."},
    {ErrAudioConversion, "Audio conversion error."},
    {ErrAudioConversionAcm, "Audio conversion error (ACM)."},
    {ErrAudioConversionWave, "Audio conversion error (WAVE)."},
    {ErrAudioInvalidFormat, "Invalid audio format."},
    {{8, 5}, "General audio handling fault."},
    {ErrAviCannotRead, "Cannot read from AVI file."},
    {ErrAviCannotWrite, "Cannot write to AVI file."},
    {ErrAviCannotReadAudio, "Cannot read audio data from AVI file."},
    {ErrAviCannotWriteAudio, "Cannot write audio data to AVI file."},
    {ErrAviCannotOpen, "Cannot open AVI file."},
    {ErrAviCannotCreate, "Cannot create AVI file."},
    {ErrAviCannotInitCodec, "Cannot initialize AVI codec."},
    {ErrAviAudioStreamInvalid,
     "AVI audio stream not valid (decompressor not found?), ignoring audio"},
    {{9, 9}, "General AVI handling fault."},
    {{9, -1}, "General AVI handling fault."},
    {{10, 3}, "AVI subsystem malfunction: 3"},
    {{10, -1}, "AVI subsystem malfunction: 4294967295"},
    {{11, 12}, "Video For Windows malfunction: 12"},
    {ErrMovieInvalidFormat, "Invalid movie format."},
    {ErrMovieCannotWrite, "Cannot write to movie file."},
    {ErrMovieCannotDecompress, "Cannot decompress movie image data."},
    {ErrMovieCannotCompress, "Cannot compress movie image data."},
    {ErrMovieNotSupported, "Movie format not supported."},
    {ErrMovieCannotOpen, "Cannot open movie file."},
    {ErrMovieEnd, "End of movie reached."},
    {ErrMovieCannotCreate, "Cannot create movie file."},
    {{12, 9}, "General \"MVI\" handling fault."},
    {{14, 7}, "End of movie reached."},
    {{14, 99}, "General \"MVI\" handling fault."},
    {ErrWavCannotOpen, "Cannot open WAV file."},
    {ErrWavCannotCreate, "Cannot create WAV file."},
    {ErrWavCannotRead, "Cannot read from WAV file."},
    {ErrWavCannotWrite, "Cannot write to WAV file."},
    {ErrWavCannotSeek, "Cannot seek in WAV file."},
    {{13, 99}, "general \"WAV\" handling fault."},
    {ErrHavEnd, "End of HAV movie reached."},
    {{15, 2}, "General \"HAV\" handling fault."},
    {ErrUniProtocol, "UNI protocol fault."},
    {{16, 2}, "General \"UNI\" handling fault."},
    {ErrFlicEnd, "End of FLIC movie reached."},
    {{17, 2}, "General \"FLIC\" handling fault."},
    {{18, 3}, "Undefined error: 18:3"},
    {{21, 1}, "Undefined error: 21:1"},
    {{-1, 1}, "Undefined error: 4294967295:1"},
    {{19, 2}, "Fatal error in Audio Compression Manager: 2"},
    {{20, 5}, "Fatal error in Win-MM: 5"},
};

using Captured = RuntimeFixture;

}  // namespace

TEST(Messages, EveryTableAndForm) {
  for (const Message& m : messages)
    EXPECT_EQ(ErrorText(m.pair), m.text) << m.pair.Category << ":" << m.pair.Code;
}

TEST(Messages, FileMessagesEndWithTheCurrentFileName) {
  std::string saved = CurrentFileName();
  SetCurrentFileName("C:\\data\\a.txt");
  EXPECT_EQ(ErrorText(ErrFileCannotOpen), "Cannot open file: C:\\data\\a.txt");
  EXPECT_EQ(ErrorText(ErrFileCannotCreate), "Cannot create file: C:\\data\\a.txt");
  EXPECT_EQ(ErrorText(ErrFileCannotDelete), "Cannot delete file: C:\\data\\a.txt");
  EXPECT_EQ(ErrorText(ErrFileCannotAppend), "Cannot append to file: C:\\data\\a.txt");
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
