#pragma once

#include <string>

class QWidget;

// Asks for the zip archive to pack files into: an Open dialog that also takes a new name.
// Empty when cancelled.
std::string AskZipFileName(QWidget* owner);
// Asks for the folder to move files to. Empty when cancelled.
std::string BrowseForMoveFolder(QWidget* owner);
