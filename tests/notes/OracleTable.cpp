#include "tests/notes/OracleTable.h"

#include <NoteStore.h>
#include <UserStore.h>
#include <edam_types.h>

#include "notes/notestore/EDAMNoteStoreCalls.h"
#include "notes/userstore/EDAMUserStoreCalls.h"
#include "tests/notes/NotesTestSupport.h"

namespace clipora::test {

namespace {

template <class O>
std::string oracleRoundTrip(const std::string& bytes) {
    MemoryProtocol in(bytes), out;
    O value;
    value.read(in.protocol.get());
    value.write(out.protocol.get());
    return out.bytes();
}

}  // namespace

#define RECORD(ours, theirs) \
    { &ours::staticRecordType, &oracleRoundTrip<oracle::theirs> }
#define CALL(service, op, Op)                                                                   \
    {&EDAM##op##_args::staticRecordType, &oracleRoundTrip<oracle::service##_##op##_args>}, {    \
        &EDAM##Op##_result::staticRecordType, &oracleRoundTrip<oracle::service##_##op##_result> \
    }

const std::vector<OracleEntry>& dataRecords() {
    static const std::vector<OracleEntry> entries{
        RECORD(EDAMUserException, EDAMUserException),
        RECORD(EDAMSystemException, EDAMSystemException),
        RECORD(EDAMNotFoundException, EDAMNotFoundException),
        RECORD(EDAMData, Data),
        RECORD(EDAMUserAttributes, UserAttributes),
        RECORD(EDAMAccounting, Accounting),
        RECORD(EDAMUser, User),
        RECORD(EDAMTag, Tag),
        RECORD(EDAMResourceAttributes, ResourceAttributes),
        RECORD(EDAMResource, Resource),
        RECORD(EDAMNoteAttributes, NoteAttributes),
        RECORD(EDAMNote, Note),
        RECORD(EDAMPublishing, Publishing),
        RECORD(EDAMNotebook, Notebook),
        RECORD(EDAMSavedSearch, SavedSearch),
        RECORD(EDAMAd, Ad),
        RECORD(EDAMSharedNotebook, SharedNotebook),
        RECORD(EDAMLinkedNotebook, LinkedNotebook),
        RECORD(EDAMSyncState, SyncState),
        RECORD(EDAMSyncChunk, SyncChunk),
        RECORD(EDAMNoteFilter, NoteFilter),
        RECORD(EDAMNoteList, NoteList),
        RECORD(EDAMNoteCollectionCounts, NoteCollectionCounts),
        RECORD(EDAMAdImpressions, AdImpressions),
        RECORD(EDAMAdParameters, AdParameters),
        RECORD(EDAMNoteEmailParameters, NoteEmailParameters),
        RECORD(EDAMNoteVersionId, NoteVersionId),
        RECORD(EDAMPublicUserInfo, PublicUserInfo),
        RECORD(EDAMAuthenticationResult, AuthenticationResult),
    };
    return entries;
}

const std::vector<OracleEntry>& userStoreCalls() {
    static const std::vector<OracleEntry> entries{
        CALL(UserStore, checkVersion, CheckVersion),
        CALL(UserStore, authenticate, Authenticate),
        CALL(UserStore, refreshAuthentication, RefreshAuthentication),
        CALL(UserStore, getUser, GetUser),
        CALL(UserStore, getPublicUserInfo, GetPublicUserInfo),
    };
    return entries;
}

const std::vector<OracleEntry>& noteStoreCalls() {
    static const std::vector<OracleEntry> entries{
        CALL(NoteStore, getSyncState, GetSyncState),
        CALL(NoteStore, getSyncChunk, GetSyncChunk),
        CALL(NoteStore, listNotebooks, ListNotebooks),
        CALL(NoteStore, getNotebook, GetNotebook),
        CALL(NoteStore, getDefaultNotebook, GetDefaultNotebook),
        CALL(NoteStore, createNotebook, CreateNotebook),
        CALL(NoteStore, updateNotebook, UpdateNotebook),
        CALL(NoteStore, expungeNotebook, ExpungeNotebook),
        CALL(NoteStore, listTags, ListTags),
        CALL(NoteStore, listTagsByNotebook, ListTagsByNotebook),
        CALL(NoteStore, getTag, GetTag),
        CALL(NoteStore, createTag, CreateTag),
        CALL(NoteStore, updateTag, UpdateTag),
        CALL(NoteStore, untagAll, UntagAll),
        CALL(NoteStore, expungeTag, ExpungeTag),
        CALL(NoteStore, listSearches, ListSearches),
        CALL(NoteStore, getSearch, GetSearch),
        CALL(NoteStore, createSearch, CreateSearch),
        CALL(NoteStore, updateSearch, UpdateSearch),
        CALL(NoteStore, expungeSearch, ExpungeSearch),
        CALL(NoteStore, findNotes, FindNotes),
        CALL(NoteStore, findNoteCounts, FindNoteCounts),
        CALL(NoteStore, getNote, GetNote),
        CALL(NoteStore, getNoteContent, GetNoteContent),
        CALL(NoteStore, getNoteSearchText, GetNoteSearchText),
        CALL(NoteStore, getNoteTagNames, GetNoteTagNames),
        CALL(NoteStore, createNote, CreateNote),
        CALL(NoteStore, updateNote, UpdateNote),
        CALL(NoteStore, deleteNote, DeleteNote),
        CALL(NoteStore, expungeNote, ExpungeNote),
        CALL(NoteStore, expungeNotes, ExpungeNotes),
        CALL(NoteStore, expungeInactiveNotes, ExpungeInactiveNotes),
        CALL(NoteStore, copyNote, CopyNote),
        CALL(NoteStore, listNoteVersions, ListNoteVersions),
        CALL(NoteStore, getNoteVersion, GetNoteVersion),
        CALL(NoteStore, getResource, GetResource),
        CALL(NoteStore, updateResource, UpdateResource),
        CALL(NoteStore, getResourceData, GetResourceData),
        CALL(NoteStore, getResourceByHash, GetResourceByHash),
        CALL(NoteStore, getResourceRecognition, GetResourceRecognition),
        CALL(NoteStore, getResourceAlternateData, GetResourceAlternateData),
        CALL(NoteStore, getResourceAttributes, GetResourceAttributes),
        CALL(NoteStore, getAccountSize, GetAccountSize),
        CALL(NoteStore, getAds, GetAds),
        CALL(NoteStore, getRandomAd, GetRandomAd),
        CALL(NoteStore, getPublicNotebook, GetPublicNotebook),
        CALL(NoteStore, createSharedNotebook, CreateSharedNotebook),
        CALL(NoteStore, listSharedNotebooks, ListSharedNotebooks),
        CALL(NoteStore, expungeSharedNotebooks, ExpungeSharedNotebooks),
        CALL(NoteStore, createLinkedNotebook, CreateLinkedNotebook),
        CALL(NoteStore, updateLinkedNotebook, UpdateLinkedNotebook),
        CALL(NoteStore, listLinkedNotebooks, ListLinkedNotebooks),
        CALL(NoteStore, expungeLinkedNotebook, ExpungeLinkedNotebook),
        CALL(NoteStore, authenticateToSharedNotebook, AuthenticateToSharedNotebook),
        CALL(NoteStore, getSharedNotebookByAuth, GetSharedNotebookByAuth),
        CALL(NoteStore, emailNote, EmailNote),
    };
    return entries;
}

}  // namespace clipora::test
