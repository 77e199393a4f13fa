#pragma once

#include "uBaseDrives.h"

class TDrive : public TBaseDrive {
public:
    TDrive();

    // Label, serial, file system, type and total size of the volume at FRootPath;
    // an unreadable volume gives empty texts and zeros.
    void loadFromRootPath();
    // Finds the stored drive with FSerialNo and loads its whole row.
    bool findbySerialNo();
};
