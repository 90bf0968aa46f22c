// dup and dup3 that share the open file with the descriptor they copy (node, position, flags),
// as POSIX has them. emscripten's reopen the file by its path, which truncates a file opened
// with O_TRUNC and misses one already unlinked (tmpfile), where the command keeps the
// library's account of a search.
mergeInto(LibraryManager.library, {
  __syscall_dup__deps: ['$FS'],
  __syscall_dup: function(fd) {
    var old = SYSCALLS.getStreamFromFD(fd);
    return FS.createStream(old, 0).fd;
  },
  __syscall_dup3__deps: ['$FS'],
  __syscall_dup3: function(fd, suggestFD, flags) {
    var old = SYSCALLS.getStreamFromFD(fd);
    if (old.fd === suggestFD) return -{{{ cDefine('EINVAL') }}};
    var suggest = FS.getStream(suggestFD);
    if (suggest) FS.close(suggest);
    return FS.createStream(old, suggestFD, suggestFD).fd;
  },
});
