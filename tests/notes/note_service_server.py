"""A note-service peer for the note tests, built on python3-thrift and the
Thrift compiler's Python code for notes/edam.thrift: an independent server
for the client's bytes on the wire.

Usage: note_service_server.py userstore|notestore CERT KEY ORACLE_DIR
Listens over HTTPS on 127.0.0.1 (ephemeral port), prints the port, serves
until terminated.
"""

import ssl
import sys

sys.path.insert(0, sys.argv[4])

from thrift.protocol import TBinaryProtocol  # noqa: E402
from thrift.server import THttpServer  # noqa: E402

from edam import NoteStore, UserStore  # noqa: E402
from edam.ttypes import (  # noqa: E402
    AuthenticationResult, EDAMNotFoundException, EDAMSystemException, EDAMUserException, Note,
    Notebook, PublicUserInfo, User)

TOKEN = "S=s1:U=1:token"


class UserStoreHandler:
    def checkVersion(self, clientName, edamVersionMajor, edamVersionMinor):
        return clientName is not None and edamVersionMajor == 1 and edamVersionMinor >= 16

    def authenticate(self, username, password, consumerKey, consumerSecret):
        if password != "right password" or consumerSecret != "consumer secret":
            raise EDAMUserException(errorCode=8, parameter="password")
        user = User(id=7, username=username, shardId="s1", active=True)
        return AuthenticationResult(currentTime=1000, authenticationToken=TOKEN, expiration=2000, user=user)

    def refreshAuthentication(self, authenticationToken):
        raise EDAMSystemException(errorCode=4, message="not here")

    def getUser(self, authenticationToken):
        return User(id=7, username="someone")

    def getPublicUserInfo(self, username):
        if username == "nobody":
            raise EDAMNotFoundException(identifier="username", key=username)
        return PublicUserInfo(userId=7, shardId="s1", privilege=1, username=username)


class NoteStoreHandler:
    def _check(self, token):
        if token != TOKEN:
            raise EDAMUserException(errorCode=8, parameter="authenticationToken")

    def listNotebooks(self, authenticationToken):
        self._check(authenticationToken)
        return [Notebook(guid="nb-1", name="First", defaultNotebook=False),
                Notebook(guid="nb-2", name="Default", defaultNotebook=True)]

    def createNote(self, authenticationToken, note):
        self._check(authenticationToken)
        note.guid = "note-1"
        note.updateSequenceNum = 42
        return note

    def getNote(self, authenticationToken, guid, withContent, withResourcesData, withResourcesRecognition,
                withResourcesAlternateData):
        self._check(authenticationToken)
        if guid != "note-1":
            raise EDAMNotFoundException(identifier="Note.guid", key=guid)
        return Note(guid=guid, title="Found", content="<en-note/>" if withContent else None)

    def getAccountSize(self, authenticationToken):
        self._check(authenticationToken)
        return 2 ** 32 + 5

    def untagAll(self, authenticationToken, guid):
        self._check(authenticationToken)

    def getResourceData(self, authenticationToken, guid):
        self._check(authenticationToken)
        return b"\x00\xff bytes"

    def expungeSharedNotebooks(self, authenticationToken, sharedNotebookIds):
        self._check(authenticationToken)
        return len(sharedNotebookIds) + sum(1 for i in sharedNotebookIds if i > 2 ** 32)

    def getPublicNotebook(self, userId, publicUri):
        raise EDAMSystemException(errorCode=4, message="down")


class Protocol(TBinaryProtocol.TBinaryProtocol):
    # python3-thrift hands an unversioned message name over as bytes.
    def readMessageBegin(self):
        name, kind, seqid = TBinaryProtocol.TBinaryProtocol.readMessageBegin(self)
        if isinstance(name, bytes):
            name = name.decode("utf-8")
        return name, kind, seqid


class ProtocolFactory(TBinaryProtocol.TBinaryProtocolFactory):
    def getProtocol(self, trans):
        return Protocol(trans, strictRead=False, strictWrite=False)


def main():
    service, cert, key = sys.argv[1], sys.argv[2], sys.argv[3]
    if service == "userstore":
        processor = UserStore.Processor(UserStoreHandler())
    else:
        processor = NoteStore.Processor(NoteStoreHandler())
    factory = ProtocolFactory()
    server = THttpServer.THttpServer(processor, ("127.0.0.1", 0), factory)
    # The server's own TLS set-up makes a client context; wrap with a server one.
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(cert, key)
    server.httpd.socket = context.wrap_socket(server.httpd.socket, server_side=True)
    print(server.httpd.server_address[1], flush=True)
    server.serve()


if __name__ == "__main__":
    main()
