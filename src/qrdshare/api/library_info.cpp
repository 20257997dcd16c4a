#include "api/library_info.h"

#include "api/text_field.h"

namespace qrd {

void FillLibraryInfo(ns_LIBRARYINFO& info) {
    info.dwLibVersionMaj = 3;
    info.dwLibVersionMin = 0;
    info.dwAPIVersionMaj = 1;
    info.dwAPIVersionMin = 3;
    WriteTextField(info.szDescription, "neuroshare Library to import Quorvane data files");
    WriteTextField(info.szCreator, "Quorvane");
    info.dwTime_Year = 2010;
    info.dwTime_Month = 6;
    info.dwTime_Day = 9;
    info.dwFlags = 0;
    info.dwMaxFiles = kMaxOpenFiles;
    info.dwFileDescCount = 1;

    ns_FILEDESC& qrd = info.FileDesc[0];
    WriteTextField(qrd.szDescription, "QRV data files");
    WriteTextField(qrd.szExtension, "*.qrd");
    WriteTextField(qrd.szMacCodes, "");
    // The file signature is "QRVSTRM " with a trailing blank; hosts get the
    // seven letters.
    WriteTextField(qrd.szMagicCode, "QRVSTRM");
}

}  // namespace qrd
