#pragma once

#include <QString>

// The text of the preferences window's about page in one language: seventeen lines, each one ended by crlf
// (the last one too).
QString aboutText(bool use_chinese, const QString& crlf);
