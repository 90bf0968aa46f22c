/*
 * unsigned varnelProbeCall(const void* fn, const void* args, unsigned argBytes,
 *                          ProbeResult* out, int returnsDouble)      -- cdecl
 *
 * Copies argBytes of prepared arguments onto the stack, calls fn, and returns how many of those
 * bytes are still on the stack when fn comes back: 0 when fn removed its own arguments (stdcall),
 * argBytes when it left them to the caller (cdecl). EAX and EDX go to out->eax and out->edx; a
 * double result is popped from the x87 stack into out->st0, keeping that stack balanced.
 */
    .text
    .globl _varnelProbeCall
_varnelProbeCall:
    pushl %ebp
    movl %esp, %ebp
    pushl %ebx
    pushl %esi
    pushl %edi
    movl %esp, %ebx          /* stack pointer before the arguments */
    movl 16(%ebp), %ecx
    subl %ecx, %esp
    movl %esp, %edi
    movl 12(%ebp), %esi
    cld
    rep movsb
    call *8(%ebp)
    movl 20(%ebp), %ecx
    movl %eax, 0(%ecx)
    movl %edx, 4(%ecx)
    cmpl $0, 24(%ebp)
    je 1f
    fstpl 8(%ecx)
1:
    movl %ebx, %eax
    subl %esp, %eax          /* argument bytes the callee left behind */
    movl %ebx, %esp
    popl %edi
    popl %esi
    popl %ebx
    popl %ebp
    ret
