{ VELMORIN from Free Pascal or Delphi: prints each argument with the first
  letter of every word capitalised, one a line.

  Free Pascal on Linux: fpc -Fl<prefix>/lib capitalise.pas links
  libvelmorin.so and libwinstandin.so; at run time the loader must find
  libvelmorin.so.1 (LD_LIBRARY_PATH, or -k-rpath -k<prefix>/lib).
  Windows (Free Pascal or Delphi): VELMORIN.DLL beside the program, of the
  program's word size; the declarations below are the same for 32 and 64
  bits, Pointer being 4 or 8 bytes as the string's address is. }
program capitalise;

{$ifdef fpc}{$mode delphi}{$endif}

const
{$ifdef mswindows}
  VelmorinLibrary = 'VELMORIN.DLL';
  AllocatorLibrary = 'oleaut32.dll';
{$else}
  VelmorinLibrary = 'velmorin';
  AllocatorLibrary = 'winstandin';  { the stand-in's allocator, which libvelmorin uses }
{$endif}

{ stdcall: the 32-bit convention of the DLL; 64-bit targets have one
  convention and ignore it. var: VELMORIN takes the address of the variable
  that holds the string.
  Not WideString: a WideString is a string of UTF-16 characters (on Windows
  a BSTR that the compiler makes, converts and frees by itself, counted in
  bytes of UTF-16); VELMORIN works on 8-bit bytes, would stop at the first
  zero high byte, and its result would be read as UTF-16. Pointer and
  explicit calls to the allocator keep the bytes as they are. }
function VELMORIN(var text: Pointer): Pointer; stdcall; external VelmorinLibrary name 'VELMORIN';
function SysAllocStringByteLen(source: PAnsiChar; length: Cardinal): Pointer; stdcall;
  external AllocatorLibrary name 'SysAllocStringByteLen';
function SysStringByteLen(text: Pointer): Cardinal; stdcall; external AllocatorLibrary name 'SysStringByteLen';
procedure SysFreeString(text: Pointer); stdcall; external AllocatorLibrary name 'SysFreeString';

{ The bytes with the first letter a-z of every word upper-cased. }
function Capitalise(const bytes: RawByteString): RawByteString;
var
  text, result_: Pointer;
begin
  Result := '';
  if Length(bytes) = 0 then Exit;  { the empty string is nil }
  text := SysAllocStringByteLen(PAnsiChar(bytes), Length(bytes));
  if text = nil then RunError(203);  { heap overflow }
  result_ := VELMORIN(text);
  SysFreeString(text);  { the argument stays ours }
  if result_ = nil then RunError(203);  { non-empty in, nil out: out of memory }
  { The count, not the first zero byte: the result may hold zeros. }
  SetLength(Result, SysStringByteLen(result_));
  Move(result_^, Result[1], Length(Result));
  SysFreeString(result_);  { the result is ours as well }
end;

var
  i: Integer;
begin
  if ParamCount = 0 then
    WriteLn(Capitalise('dit is een zin.'))
  else
    for i := 1 to ParamCount do
      WriteLn(Capitalise(ParamStr(i)));
end.
