Attribute VB_Name = "Velmorin"
' VELMORIN from VBA (Excel, Word, Access): Capitalise("dit is een zin.")
' gives "Dit Is Een Zin.". Import this file into the VBA project
' (File > Import File).
'
' NOT RUN HERE: this file needs Office on Windows, which the project's tests
' do not have. It is written to the Declare rules of VBA 6 and VBA 7.
'
' Word size: the DLL must be the one of Office's word size: the 32-bit
' VELMORIN.DLL (velmorin-1.0.0-win32.zip) for 32-bit Office, the 64-bit one
' (velmorin-1.0.0-win64.zip) for 64-bit Office. VBA 7 (Office 2010 on) needs
' PtrSafe on every Declare, and pointers are LongPtr (4 bytes in 32-bit
' Office, 8 in 64-bit); VBA 6 knows neither, and there a pointer is a Long.
'
' Where the DLL must lie: the host program is EXCEL.EXE (or WINWORD.EXE...)
' in Office's own folder, so Windows looks for VELMORIN.DLL there, in the
' system folders, in the current folder and on PATH, and not beside the
' workbook. Either give the full path in the Lib clause, or load it once by
' its full path before the first call (LoadVelmorin below does that for a DLL
' beside the workbook); a Declare by bare name then finds the loaded one.

Option Explicit

#If VBA7 Then
' The argument is the address of a variable that holds the string: ByRef.
Private Declare PtrSafe Function VELMORIN Lib "VELMORIN.DLL" (ByRef text As LongPtr) As LongPtr
Private Declare PtrSafe Function SysAllocStringByteLen Lib "oleaut32" (ByVal source As LongPtr, ByVal length As Long) As LongPtr
Private Declare PtrSafe Function SysStringByteLen Lib "oleaut32" (ByVal text As LongPtr) As Long
Private Declare PtrSafe Sub SysFreeString Lib "oleaut32" (ByVal text As LongPtr)
Private Declare PtrSafe Sub CopyMemory Lib "kernel32" Alias "RtlMoveMemory" (ByVal target As LongPtr, ByVal source As LongPtr, ByVal length As LongPtr)
Private Declare PtrSafe Function LoadLibraryA Lib "kernel32" (ByVal path As String) As LongPtr
#Else
Private Declare Function VELMORIN Lib "VELMORIN.DLL" (ByRef text As Long) As Long
Private Declare Function SysAllocStringByteLen Lib "oleaut32" (ByVal source As Long, ByVal length As Long) As Long
Private Declare Function SysStringByteLen Lib "oleaut32" (ByVal text As Long) As Long
Private Declare Sub SysFreeString Lib "oleaut32" (ByVal text As Long)
Private Declare Sub CopyMemory Lib "kernel32" Alias "RtlMoveMemory" (ByVal target As Long, ByVal source As Long, ByVal length As Long)
Private Declare Function LoadLibraryA Lib "kernel32" (ByVal path As String) As Long
#End If

' Loads VELMORIN.DLL from the workbook's folder; True when it is loaded.
Public Function LoadVelmorin() As Boolean
    LoadVelmorin = LoadLibraryA(ThisWorkbook.Path & "\VELMORIN.DLL") <> 0
End Function

' The text with the first letter a-z of every word upper-cased. VELMORIN
' works on bytes: StrConv(..., vbFromUnicode) makes the bytes of the
' system's ANSI code page from VBA's Unicode string, vbUnicode turns them
' back. Raises error 7 (out of memory) when the allocator has none.
Public Function Capitalise(ByVal text As String) As String
    Dim bytes() As Byte, output() As Byte, count As Long
#If VBA7 Then
    Dim argument As LongPtr, result As LongPtr
#Else
    Dim argument As Long, result As Long
#End If
    If Len(text) = 0 Then Exit Function          ' the empty string is 0
    bytes = StrConv(text, vbFromUnicode)
    argument = SysAllocStringByteLen(VarPtr(bytes(0)), UBound(bytes) + 1)
    If argument = 0 Then Err.Raise 7
    result = VELMORIN(argument)                  ' ByRef: the variable's address
    SysFreeString argument                       ' the argument stays ours
    If result = 0 Then Err.Raise 7               ' non-empty in, 0 out: out of memory
    count = SysStringByteLen(result)
    ReDim output(0 To count - 1)
    CopyMemory VarPtr(output(0)), result, count
    SysFreeString result                         ' the result is ours as well
    Capitalise = StrConv(output, vbUnicode)
End Function
