// The service's endpoints, formed from the hosts configured at build time.
#pragma once

#include "mewlark_config.h"

#define MEWLARK_LOGIN_URL "https://" MEWLARK_LOGIN_HOST "/certify-cgi/login.cgi"
#define MEWLARK_MAIL_TOP_URL "http://" MEWLARK_MAIL_HOST "/"
#define MEWLARK_ARRIVAL_URL "http://" MEWLARK_ARRIVAL_HOST "/recent/arrival.ghtml/checker1.1/"
#define MEWLARK_HELP_URL "http://" MEWLARK_HELP_HOST "/howto/tool/mail/t_checker.html"

inline constexpr const char* LoginUrl = MEWLARK_LOGIN_URL;
inline constexpr const char* MailTopUrl = MEWLARK_MAIL_TOP_URL;
inline constexpr const char* MailSiteHost = MEWLARK_MAIL_HOST;
inline constexpr const char* ArrivalUrl = MEWLARK_ARRIVAL_URL;
inline constexpr const char* HelpUrl = MEWLARK_HELP_URL;
