// The note service's interface definition, version 1.16: its records, its
// three service exceptions, the user store and the note store.
//
// This file is the single source of the client's record classes: the build
// turns it into field tables and accessors (notes/edamgen.py); the tests
// also feed it to the Thrift compiler, whose output serves only as an
// independent check of the bytes on the wire.
//
// Every field is optional: the service requires none of them on the wire,
// and a record carries exactly the fields whose is-set flag is on.
//
// Enumerators are this client's own names; the wire carries only the
// 32-bit values and nothing here compares them.

namespace cpp oracle
namespace py edam

enum EDAMErrorCode {
  UNKNOWN = 1,
  BAD_DATA_FORMAT = 2,
  PERMISSION_DENIED = 3,
  INTERNAL_ERROR = 4,
  DATA_REQUIRED = 5,
  QUOTA_REACHED = 7,
  INVALID_AUTH = 8,
  AUTH_EXPIRED = 9,
  DATA_CONFLICT = 10
}

enum PrivilegeLevel {
  NORMAL = 1,
  PREMIUM = 3,
  MANAGER = 7,
  SUPPORT = 8,
  ADMIN = 9
}

enum PremiumOrderStatus {
  NONE = 0,
  PENDING = 1,
  ACTIVE = 2,
  FAILED = 3,
  CANCELLATION_PENDING = 4,
  CANCELED = 5
}

enum NoteSortOrder {
  CREATED = 1,
  UPDATED = 2,
  RELEVANCE = 3,
  UPDATE_SEQUENCE_NUMBER = 4,
  TITLE = 5
}

enum QueryFormat {
  USER = 1,
  SEXP = 2
}

// ---- Service exceptions ----

exception EDAMUserException {
  1: optional EDAMErrorCode errorCode,
  2: optional string parameter
}

exception EDAMSystemException {
  1: optional EDAMErrorCode errorCode,
  2: optional string message
}

exception EDAMNotFoundException {
  1: optional string identifier,
  2: optional string key
}

// ---- Data block and user account ----

struct Data {
  1: optional binary bodyHash,
  2: optional i32 size,
  3: optional binary body
}

struct UserAttributes {
  1: optional string defaultLocationName,
  2: optional double defaultLatitude,
  3: optional double defaultLongitude,
  4: optional bool preactivation,
  5: optional list<string> viewedPromotions,
  6: optional string incomingEmailAddress,
  7: optional list<string> recentMailedAddresses,
  9: optional string comments,
  11: optional i64 dateAgreedToTermsOfService,
  12: optional i32 maxReferrals,
  13: optional i32 referralCount,
  14: optional string refererCode,
  15: optional i64 sentEmailDate,
  16: optional i32 sentEmailCount,
  17: optional i32 dailyEmailLimit,
  18: optional i64 emailOptOutDate,
  19: optional i64 partnerEmailOptInDate,
  20: optional string preferredLanguage,
  21: optional string preferredCountry,
  22: optional bool clipFullPage,
  23: optional string twitterUserName,
  24: optional string twitterId,
  25: optional string groupName,
  26: optional string recognitionLanguage,
  27: optional i64 customerProfileId,
  28: optional string referralProof
}

struct Accounting {
  1: optional i64 uploadLimit,
  2: optional i64 uploadLimitEnd,
  3: optional i64 uploadLimitNextMonth,
  4: optional PremiumOrderStatus premiumServiceStatus,
  5: optional string premiumOrderNumber,
  6: optional string premiumCommerceService,
  7: optional i64 premiumServiceStart,
  8: optional string premiumServiceSKU,
  9: optional i64 lastSuccessfulCharge,
  10: optional i64 lastFailedCharge,
  11: optional string lastFailedChargeReason,
  12: optional i64 nextPaymentDue,
  13: optional i64 premiumLockUntil,
  14: optional i64 updated,
  16: optional string premiumSubscriptionNumber,
  17: optional i64 lastRequestedCharge
}

struct User {
  1: optional i32 id,
  2: optional string username,
  3: optional string email,
  4: optional string name,
  6: optional string timezone,
  7: optional PrivilegeLevel privilege,
  9: optional i64 created,
  10: optional i64 updated,
  11: optional i64 deleted,
  13: optional bool active,
  14: optional string shardId,
  15: optional UserAttributes attributes,
  16: optional Accounting accounting
}

// ---- Notes, resources and tags ----

struct Tag {
  1: optional string guid,
  2: optional string name,
  3: optional string parentGuid,
  4: optional i32 updateSequenceNum
}

struct ResourceAttributes {
  1: optional string sourceURL,
  2: optional i64 timestamp,
  3: optional double latitude,
  4: optional double longitude,
  5: optional double altitude,
  6: optional string cameraMake,
  7: optional string cameraModel,
  8: optional bool clientWillIndex,
  9: optional string recoType,
  10: optional string fileName,
  11: optional bool attachment
}

struct Resource {
  1: optional string guid,
  2: optional string noteGuid,
  3: optional Data data,
  4: optional string mime,
  5: optional i16 width,
  6: optional i16 height,
  7: optional i16 duration,
  8: optional bool active,
  9: optional Data recognition,
  11: optional ResourceAttributes attributes,
  12: optional i32 updateSequenceNum,
  13: optional Data alternateData
}

struct NoteAttributes {
  1: optional i64 subjectDate,
  10: optional double latitude,
  11: optional double longitude,
  12: optional double altitude,
  13: optional string author,
  14: optional string source,
  15: optional string sourceURL,
  16: optional string sourceApplication
}

struct Note {
  1: optional string guid,
  2: optional string title,
  3: optional string content,
  4: optional binary contentHash,
  5: optional i32 contentLength,
  6: optional i64 created,
  7: optional i64 updated,
  8: optional i64 deleted,
  9: optional bool active,
  10: optional i32 updateSequenceNum,
  11: optional string notebookGuid,
  12: optional list<string> tagGuids,
  13: optional list<Resource> resources,
  14: optional NoteAttributes attributes,
  15: optional list<string> tagNames
}

// ---- Notebooks, publishing, saved searches, ads and sharing ----

struct Publishing {
  1: optional string uri,
  2: optional NoteSortOrder order,
  3: optional bool ascending,
  4: optional string publicDescription
}

struct Notebook {
  1: optional string guid,
  2: optional string name,
  5: optional i32 updateSequenceNum,
  6: optional bool defaultNotebook,
  7: optional i64 serviceCreated,
  8: optional i64 serviceUpdated,
  10: optional Publishing publishing,
  11: optional bool published,
  12: optional string stack
}

struct SavedSearch {
  1: optional string guid,
  2: optional string name,
  3: optional string query,
  4: optional QueryFormat format,
  5: optional i32 updateSequenceNum
}

struct Ad {
  1: optional i32 id,
  2: optional i16 width,
  3: optional i16 height,
  4: optional string advertiserName,
  5: optional string imageUrl,
  6: optional string destinationUrl,
  7: optional i16 displaySeconds,
  8: optional double score,
  9: optional binary image,
  10: optional string imageMime,
  11: optional string html,
  12: optional double displayFrequency
}

struct SharedNotebook {
  1: optional i64 id,
  2: optional i32 userId,
  3: optional string notebookGuid,
  4: optional string email,
  5: optional bool notebookModifiable,
  6: optional bool requireLogin,
  7: optional i64 serviceCreated,
  8: optional string shareKey,
  9: optional string username
}

struct LinkedNotebook {
  1: optional i64 id,
  2: optional string shareName,
  3: optional string username,
  4: optional string shardId,
  5: optional string shareKey,
  6: optional string uri
}

// ---- Note-store data types ----

struct SyncState {
  1: optional i64 currentTime,
  2: optional i64 fullSyncBefore,
  3: optional i32 updateCount,
  4: optional i64 uploaded
}

struct SyncChunk {
  1: optional i64 currentTime,
  2: optional i32 chunkHighUSN,
  3: optional i32 updateCount,
  4: optional list<Note> notes,
  5: optional list<Notebook> notebooks,
  6: optional list<Tag> tags,
  7: optional list<SavedSearch> searches,
  8: optional list<Resource> resources,
  9: optional list<string> expungedNotes,
  10: optional list<string> expungedNotebooks,
  11: optional list<string> expungedTags,
  12: optional list<string> expungedSearches
}

struct NoteFilter {
  1: optional i32 order,
  2: optional bool ascending,
  3: optional string words,
  4: optional string notebookGuid,
  5: optional list<string> tagGuids,
  6: optional string timeZone,
  7: optional bool inactive
}

struct NoteList {
  1: optional i32 startIndex,
  2: optional i32 totalNotes,
  3: optional list<Note> notes,
  4: optional list<string> stoppedWords,
  5: optional list<string> searchedWords
}

struct NoteCollectionCounts {
  1: optional map<string, i32> notebookCounts,
  2: optional map<string, i32> tagCounts,
  3: optional i32 trashCount
}

struct AdImpressions {
  1: optional i32 adId,
  2: optional i32 impressionCount,
  3: optional i32 impressionTime
}

struct AdParameters {
  2: optional string clientLanguage,
  4: optional list<AdImpressions> impressions,
  5: optional bool supportHtml,
  6: optional map<string, string> clientProperties
}

struct NoteEmailParameters {
  1: optional string guid,
  2: optional Note note,
  3: optional list<string> toAddresses,
  4: optional list<string> ccAddresses,
  5: optional string subject,
  6: optional string message
}

struct NoteVersionId {
  1: optional i32 updateSequenceNum,
  2: optional i64 updated,
  3: optional i64 saved,
  4: optional string title
}

// ---- User store ----

struct PublicUserInfo {
  1: optional i32 userId,
  2: optional string shardId,
  3: optional PrivilegeLevel privilege,
  4: optional string username
}

struct AuthenticationResult {
  1: optional i64 currentTime,
  2: optional string authenticationToken,
  3: optional i64 expiration,
  4: optional User user,
  5: optional PublicUserInfo publicUserInfo
}

service UserStore {
  bool checkVersion(1: string clientName, 2: i16 edamVersionMajor, 3: i16 edamVersionMinor),

  AuthenticationResult authenticate(1: string username, 2: string password, 3: string consumerKey,
                                    4: string consumerSecret)
    throws (1: EDAMUserException userException, 2: EDAMSystemException systemException),

  AuthenticationResult refreshAuthentication(1: string authenticationToken)
    throws (1: EDAMUserException userException, 2: EDAMSystemException systemException),

  User getUser(1: string authenticationToken)
    throws (1: EDAMUserException userException, 2: EDAMSystemException systemException),

  PublicUserInfo getPublicUserInfo(1: string username)
    throws (1: EDAMNotFoundException notFoundException, 2: EDAMSystemException systemException,
            3: EDAMUserException userException)
}

// ---- Note store ----

service NoteStore {
  SyncState getSyncState(1: string authenticationToken)
    throws (1: EDAMUserException userException, 2: EDAMSystemException systemException),

  SyncChunk getSyncChunk(1: string authenticationToken, 2: i32 afterUSN, 3: i32 maxEntries, 4: bool fullSyncOnly)
    throws (1: EDAMUserException userException, 2: EDAMSystemException systemException),

  list<Notebook> listNotebooks(1: string authenticationToken)
    throws (1: EDAMUserException userException, 2: EDAMSystemException systemException),

  Notebook getNotebook(1: string authenticationToken, 2: string guid)
    throws (1: EDAMUserException userException, 2: EDAMSystemException systemException,
            3: EDAMNotFoundException notFoundException),

  Notebook getDefaultNotebook(1: string authenticationToken)
    throws (1: EDAMUserException userException, 2: EDAMSystemException systemException),

  Notebook createNotebook(1: string authenticationToken, 2: Notebook notebook)
    throws (1: EDAMUserException userException, 2: EDAMSystemException systemException),

  i32 updateNotebook(1: string authenticationToken, 2: Notebook notebook)
    throws (1: EDAMUserException userException, 2: EDAMSystemException systemException,
            3: EDAMNotFoundException notFoundException),

  i32 expungeNotebook(1: string authenticationToken, 2: string guid)
    throws (1: EDAMUserException userException, 2: EDAMSystemException systemException,
            3: EDAMNotFoundException notFoundException),

  list<Tag> listTags(1: string authenticationToken)
    throws (1: EDAMUserException userException, 2: EDAMSystemException systemException),

  list<Tag> listTagsByNotebook(1: string authenticationToken, 2: string notebookGuid)
    throws (1: EDAMUserException userException, 2: EDAMSystemException systemException,
            3: EDAMNotFoundException notFoundException),

  Tag getTag(1: string authenticationToken, 2: string guid)
    throws (1: EDAMUserException userException, 2: EDAMSystemException systemException,
            3: EDAMNotFoundException notFoundException),

  Tag createTag(1: string authenticationToken, 2: Tag tag)
    throws (1: EDAMUserException userException, 2: EDAMSystemException systemException,
            3: EDAMNotFoundException notFoundException),

  i32 updateTag(1: string authenticationToken, 2: Tag tag)
    throws (1: EDAMUserException userException, 2: EDAMSystemException systemException,
            3: EDAMNotFoundException notFoundException),

  void untagAll(1: string authenticationToken, 2: string guid)
    throws (1: EDAMUserException userException, 2: EDAMSystemException systemException,
            3: EDAMNotFoundException notFoundException),

  i32 expungeTag(1: string authenticationToken, 2: string guid)
    throws (1: EDAMUserException userException, 2: EDAMSystemException systemException,
            3: EDAMNotFoundException notFoundException),

  list<SavedSearch> listSearches(1: string authenticationToken)
    throws (1: EDAMUserException userException, 2: EDAMSystemException systemException),

  SavedSearch getSearch(1: string authenticationToken, 2: string guid)
    throws (1: EDAMUserException userException, 2: EDAMSystemException systemException,
            3: EDAMNotFoundException notFoundException),

  SavedSearch createSearch(1: string authenticationToken, 2: SavedSearch search)
    throws (1: EDAMUserException userException, 2: EDAMSystemException systemException),

  i32 updateSearch(1: string authenticationToken, 2: SavedSearch search)
    throws (1: EDAMUserException userException, 2: EDAMSystemException systemException,
            3: EDAMNotFoundException notFoundException),

  i32 expungeSearch(1: string authenticationToken, 2: string guid)
    throws (1: EDAMUserException userException, 2: EDAMSystemException systemException,
            3: EDAMNotFoundException notFoundException),

  NoteList findNotes(1: string authenticationToken, 2: NoteFilter filter, 3: i32 offset, 4: i32 maxNotes)
    throws (1: EDAMUserException userException, 2: EDAMSystemException systemException,
            3: EDAMNotFoundException notFoundException),

  NoteCollectionCounts findNoteCounts(1: string authenticationToken, 2: NoteFilter filter, 3: bool withTrash)
    throws (1: EDAMUserException userException, 2: EDAMSystemException systemException,
            3: EDAMNotFoundException notFoundException),

  Note getNote(1: string authenticationToken, 2: string guid, 3: bool withContent, 4: bool withResourcesData,
               5: bool withResourcesRecognition, 6: bool withResourcesAlternateData)
    throws (1: EDAMUserException userException, 2: EDAMSystemException systemException,
            3: EDAMNotFoundException notFoundException),

  string getNoteContent(1: string authenticationToken, 2: string guid)
    throws (1: EDAMUserException userException, 2: EDAMSystemException systemException,
            3: EDAMNotFoundException notFoundException),

  string getNoteSearchText(1: string authenticationToken, 2: string guid)
    throws (1: EDAMUserException userException, 2: EDAMSystemException systemException,
            3: EDAMNotFoundException notFoundException),

  list<string> getNoteTagNames(1: string authenticationToken, 2: string guid)
    throws (1: EDAMUserException userException, 2: EDAMSystemException systemException,
            3: EDAMNotFoundException notFoundException),

  Note createNote(1: string authenticationToken, 2: Note note)
    throws (1: EDAMUserException userException, 2: EDAMSystemException systemException,
            3: EDAMNotFoundException notFoundException),

  Note updateNote(1: string authenticationToken, 2: Note note)
    throws (1: EDAMUserException userException, 2: EDAMSystemException systemException,
            3: EDAMNotFoundException notFoundException),

  i32 deleteNote(1: string authenticationToken, 2: string guid)
    throws (1: EDAMUserException userException, 2: EDAMSystemException systemException,
            3: EDAMNotFoundException notFoundException),

  i32 expungeNote(1: string authenticationToken, 2: string guid)
    throws (1: EDAMUserException userException, 2: EDAMSystemException systemException,
            3: EDAMNotFoundException notFoundException),

  i32 expungeNotes(1: string authenticationToken, 2: list<string> noteGuids)
    throws (1: EDAMUserException userException, 2: EDAMSystemException systemException,
            3: EDAMNotFoundException notFoundException),

  i32 expungeInactiveNotes(1: string authenticationToken)
    throws (1: EDAMUserException userException, 2: EDAMSystemException systemException),

  Note copyNote(1: string authenticationToken, 2: string noteGuid, 3: string toNotebookGuid)
    throws (1: EDAMUserException userException, 2: EDAMSystemException systemException,
            3: EDAMNotFoundException notFoundException),

  list<NoteVersionId> listNoteVersions(1: string authenticationToken, 2: string noteGuid)
    throws (1: EDAMUserException userException, 2: EDAMSystemException systemException,
            3: EDAMNotFoundException notFoundException),

  Note getNoteVersion(1: string authenticationToken, 2: string noteGuid, 3: i32 updateSequenceNum,
                      4: bool withResourcesData, 5: bool withResourcesRecognition,
                      6: bool withResourcesAlternateData)
    throws (1: EDAMUserException userException, 2: EDAMSystemException systemException,
            3: EDAMNotFoundException notFoundException),

  Resource getResource(1: string authenticationToken, 2: string guid, 3: bool withData, 4: bool withRecognition,
                       5: bool withAttributes, 6: bool withAlternateData)
    throws (1: EDAMUserException userException, 2: EDAMSystemException systemException,
            3: EDAMNotFoundException notFoundException),

  i32 updateResource(1: string authenticationToken, 2: Resource resource)
    throws (1: EDAMUserException userException, 2: EDAMSystemException systemException,
            3: EDAMNotFoundException notFoundException),

  binary getResourceData(1: string authenticationToken, 2: string guid)
    throws (1: EDAMUserException userException, 2: EDAMSystemException systemException,
            3: EDAMNotFoundException notFoundException),

  Resource getResourceByHash(1: string authenticationToken, 2: string noteGuid, 3: binary contentHash,
                             4: bool withData, 5: bool withRecognition, 6: bool withAlternateData)
    throws (1: EDAMUserException userException, 2: EDAMSystemException systemException,
            3: EDAMNotFoundException notFoundException),

  binary getResourceRecognition(1: string authenticationToken, 2: string guid)
    throws (1: EDAMUserException userException, 2: EDAMSystemException systemException,
            3: EDAMNotFoundException notFoundException),

  binary getResourceAlternateData(1: string authenticationToken, 2: string guid)
    throws (1: EDAMUserException userException, 2: EDAMSystemException systemException,
            3: EDAMNotFoundException notFoundException),

  ResourceAttributes getResourceAttributes(1: string authenticationToken, 2: string guid)
    throws (1: EDAMUserException userException, 2: EDAMSystemException systemException,
            3: EDAMNotFoundException notFoundException),

  i64 getAccountSize(1: string authenticationToken)
    throws (1: EDAMUserException userException, 2: EDAMSystemException systemException),

  list<Ad> getAds(1: string authenticationToken, 2: AdParameters adParameters)
    throws (1: EDAMUserException userException, 2: EDAMSystemException systemException),

  Ad getRandomAd(1: string authenticationToken, 2: AdParameters adParameters)
    throws (1: EDAMUserException userException, 2: EDAMSystemException systemException),

  Notebook getPublicNotebook(1: i32 userId, 2: string publicUri)
    throws (1: EDAMSystemException systemException, 2: EDAMNotFoundException notFoundException),

  SharedNotebook createSharedNotebook(1: string authenticationToken, 2: SharedNotebook sharedNotebook)
    throws (1: EDAMUserException userException, 2: EDAMNotFoundException notFoundException,
            3: EDAMSystemException systemException),

  list<SharedNotebook> listSharedNotebooks(1: string authenticationToken)
    throws (1: EDAMUserException userException, 2: EDAMNotFoundException notFoundException,
            3: EDAMSystemException systemException),

  i32 expungeSharedNotebooks(1: string authenticationToken, 2: list<i64> sharedNotebookIds)
    throws (1: EDAMUserException userException, 2: EDAMNotFoundException notFoundException,
            3: EDAMSystemException systemException),

  LinkedNotebook createLinkedNotebook(1: string authenticationToken, 2: LinkedNotebook linkedNotebook)
    throws (1: EDAMUserException userException, 2: EDAMNotFoundException notFoundException,
            3: EDAMSystemException systemException),

  LinkedNotebook updateLinkedNotebook(1: string authenticationToken, 2: LinkedNotebook linkedNotebook)
    throws (1: EDAMUserException userException, 2: EDAMNotFoundException notFoundException,
            3: EDAMSystemException systemException),

  list<LinkedNotebook> listLinkedNotebooks(1: string authenticationToken)
    throws (1: EDAMUserException userException, 2: EDAMNotFoundException notFoundException,
            3: EDAMSystemException systemException),

  i32 expungeLinkedNotebook(1: string authenticationToken, 2: i64 linkedNotebookId)
    throws (1: EDAMUserException userException, 2: EDAMNotFoundException notFoundException,
            3: EDAMSystemException systemException),

  AuthenticationResult authenticateToSharedNotebook(1: string shareKey, 2: string authenticationToken)
    throws (1: EDAMUserException userException, 2: EDAMNotFoundException notFoundException,
            3: EDAMSystemException systemException),

  SharedNotebook getSharedNotebookByAuth(1: string authenticationToken)
    throws (1: EDAMUserException userException, 2: EDAMNotFoundException notFoundException,
            3: EDAMSystemException systemException),

  void emailNote(1: string authenticationToken, 2: NoteEmailParameters parameters)
    throws (1: EDAMUserException userException, 2: EDAMNotFoundException notFoundException,
            3: EDAMSystemException systemException)
}
