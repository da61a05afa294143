#pragma once

#include <QStringList>

// The object names of the window's controls, row by row from the top, written out independently of the Designer
// file that the tests check.
namespace ControlNames {

inline const QStringList labels{"lblFileName", "lblFilePath", "lblCreatedDate", "lblLastAccess", "lblLastModified",
                                "lblFileSize", "lblCRC32",    "lblMD5",         "lblSha1",       "lblSha256"};
inline const QStringList textBoxes{"txtFileName", "txtFilePath", "txtCreateDate", "txtLastAccessed", "txtLastModified",
                                   "txtFileSize", "txtCRC32",    "txtMD5",        "txtSha1",         "txtSha256"};
inline const QStringList tickBoxes{"chkFileName", "chkFilePath", "chkCreateDate", "chkLastAccessed", "chkLastMod",
                                   "chkFileSize", "chkCRC32",    "chkMD5",        "chkSha1",         "chkSha256"};
inline const QStringList copyButtons{"cmdCopyFileName", "cmdCopyFilePath", "cmdCopyCreatedDate", "cmdCopyLastAccessed",
                                     "cmdCopyLastMod",  "cmdCopyFileSize", "cmdCopyCRC32",       "cmdCopyMD5",
                                     "cmdCopySha1",     "cmdCopySha256"};
inline const QStringList bottomButtons{"cmdBrowse", "cmdCopyAll", "cmdCopySel"};

} // namespace ControlNames
