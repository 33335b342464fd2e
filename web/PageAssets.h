// The page's files, built into the program from web/page/.
#pragma once

namespace orvan::web {

const char* PageHtml();
const char* PageScript();
const char* PageStyle();

} // namespace orvan::web
