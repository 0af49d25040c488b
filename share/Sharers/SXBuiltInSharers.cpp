#include "share/Core/SXSharerRegistry.h"
#include "share/Sharers/SXCopy.h"
#include "share/Sharers/SXEvernote.h"
#include "share/Sharers/SXFlickr.h"
#include "share/Sharers/SXFoursquareV2.h"
#include "share/Sharers/SXGoogleReader.h"
#include "share/Sharers/SXInstapaper.h"
#include "share/Sharers/SXLinkedIn.h"
#include "share/Sharers/SXLogout.h"
#include "share/Sharers/SXMail.h"
#include "share/Sharers/SXPhotoAlbum.h"
#include "share/Sharers/SXPinboard.h"
#include "share/Sharers/SXReadItLater.h"
#include "share/Sharers/SXSafari.h"
#include "share/Sharers/SXTextMessage.h"
#include "share/Sharers/SXTumblr.h"
#include "share/Sharers/SXTwitter.h"
#include "share/Sharers/SXVkontakte.h"

namespace clipora {

// Every sharer class of the framework, by the name lists and favourites use.
void registerBuiltInSharers() {
    SXSharerRegistry::registerClass<SXCopy>("SXCopy");
    SXSharerRegistry::registerClass<SXMail>("SXMail");
    SXSharerRegistry::registerClass<SXTextMessage>("SXTextMessage");
    SXSharerRegistry::registerClass<SXSafari>("SXSafari");
    SXSharerRegistry::registerClass<SXPhotoAlbum>("SXPhotoAlbum");
    SXSharerRegistry::registerClass<SXLogout>("SXLogout");
    SXSharerRegistry::registerClass<SXFlickr>("SXFlickr");
    SXSharerRegistry::registerClass<SXInstapaper>("SXInstapaper");
    SXSharerRegistry::registerClass<SXPinboard>("SXPinboard");
    SXSharerRegistry::registerClass<SXReadItLater>("SXReadItLater");
    SXSharerRegistry::registerClass<SXTumblr>("SXTumblr");
    SXSharerRegistry::registerClass<SXGoogleReader>("SXGoogleReader");
    SXSharerRegistry::registerClass<SXFoursquareV2>("SXFoursquareV2");
    SXSharerRegistry::registerClass<SXVkontakte>("SXVkontakte");
    SXSharerRegistry::registerClass<SXTwitter>("SXTwitter");
    SXSharerRegistry::registerClass<SXEvernote>("SXEvernote");
    SXSharerRegistry::registerClass<SXLinkedIn>("SXLinkedIn");
}

}  // namespace clipora
