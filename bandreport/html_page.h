// The frame shared by report.html and index.html: one style, the head and the footer of a self-contained page.
#pragma once

#include <string>

#include "bandreport/folder_pipeline.h"

namespace bandreport {

// From <!DOCTYPE html> to the opening of <main>, with `title` (escaped here) and the shared inline style.
std::string page_start(const std::string& title);

// The footer with the version and the date, and the closing of the page.
std::string page_end(const ReportContext& context);

}  // namespace bandreport
