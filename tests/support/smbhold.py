#!/usr/bin/python3
"""Holds files open on an SMB share until its standard input closes.

Usage: smbhold.py HOST PORT USER PASSWORD SHARE OPEN...
OPEN is NAME:ACCESS:SHARING[:L]: ACCESS and SHARING are letters of "rwd" (read, write,
delete): what this client does and what it lets others do; L takes a byte-range lock.
Prints "opened NAME" or "refused NAME" per file, then "ready".
"""
import sys

from impacket.nt_errors import STATUS_SUCCESS
from impacket.smb3structs import (FILE_OPEN, FILE_READ_ATTRIBUTES, FILE_READ_DATA,
                                  FILE_SHARE_DELETE, FILE_SHARE_READ, FILE_SHARE_WRITE,
                                  FILE_WRITE_DATA, SMB2_LOCK, SMB2_LOCK_ELEMENT,
                                  SMB2_LOCKFLAG_EXCLUSIVE_LOCK, SMB2_LOCKFLAG_FAIL_IMMEDIATELY,
                                  SMB2Lock)
from impacket.smbconnection import SMBConnection


def lock(server, tree, fid):
    # impacket's own lock() joins its elements as text; build the request here.
    packet = server.SMB_PACKET()
    packet['Command'] = SMB2_LOCK
    packet['TreeID'] = tree
    request = SMB2Lock()
    request['FileID'] = fid
    request['LockCount'] = 1
    request['LockSequence'] = 0
    element = SMB2_LOCK_ELEMENT()
    element['Offset'] = 0
    element['Length'] = 10
    element['Flags'] = SMB2_LOCKFLAG_EXCLUSIVE_LOCK | SMB2_LOCKFLAG_FAIL_IMMEDIATELY
    request['Locks'] = element.getData()
    packet['Data'] = request
    return server.recvSMB(server.sendSMB(packet)).isValidAnswer(STATUS_SUCCESS)


def main():
    host, port, user, password, share = sys.argv[1:6]
    connection = SMBConnection(host, host, sess_port=int(port))
    connection.login(user, password)
    tree = connection.connectTree(share)
    server = connection.getSMBServer()
    for wanted in sys.argv[6:]:
        name, access, sharing, *flags = wanted.split(':')
        mask = (FILE_READ_DATA if 'r' in access else 0) | (FILE_WRITE_DATA if 'w' in access else 0)
        mode = ((FILE_SHARE_READ if 'r' in sharing else 0) |
                (FILE_SHARE_WRITE if 'w' in sharing else 0) |
                (FILE_SHARE_DELETE if 'd' in sharing else 0))
        try:
            fid = server.create(tree, name, mask | FILE_READ_ATTRIBUTES, mode, 0, FILE_OPEN, 0)
        except Exception:  # the server refused the open (sharing violation and the like)
            print('refused', name, flush=True)
            continue
        if 'L' in flags:
            lock(server, tree, fid)
        print('opened', name, flush=True)
    print('ready', flush=True)
    sys.stdin.read()


if __name__ == '__main__':
    main()
