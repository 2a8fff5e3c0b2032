{ Compiles an HTML Help project (.hhp) into a compiled help file with Free Pascal's CHM writer,
  as chmcmd does, except for the help contexts of [MAP] and [ALIAS]: chmcmd 3.2.2 records each
  context's topic under the absolute path of the project folder on the building machine, which
  no help viewer finds inside the file; this records the topic's path inside the file.
  Usage: chmbuild PROJECT.hhp OUTPUT.chm. Exits with 1 after any error or warning. }
program chmbuild;

{$mode objfpc}{$H+}

uses
  {$ifdef unix}cwstring,{$endif} SysUtils, Classes, chmfilewriter, chmwriter;

type
  TProject = class(TChmProject)
  public
    procedure WriteChm(AOutStream: TStream); override;
  end;

var
  Failed: Boolean = False;

{ Prints errors and warnings, and remembers that the help file is not as written. }
procedure Report(Project: TChmProject; Kind: TChmProjectErrorKind; Msg: String; DetailLevel: Integer);
begin
  if Kind in [chmerror, chmwarning] then
  begin
    WriteLn(StdErr, 'chmbuild: ', ChmErrorKindText[Kind], ': ', Msg);
    Failed := True;
  end;
end;

{ TChmProject.WriteChm of the library, with the context topics recorded as inner paths. }
procedure TProject.WriteChm(AOutStream: TStream);
var
  Writer: TChmWriter;
  Node: TChmContextNode;
  I: Integer;
begin
  LoadSitemaps;
  if ScanHtmlContents then
    ScanHtml;
  Writer := TChmWriter.Create(AOutStream, False);
  try
    Writer.OnGetFileData := @GetData;
    Writer.OnLastFile := @LastFileAdded;
    Writer.FilesToCompress.AddStrings(Files);
    Writer.FilesToCompress.AddStrings(OtherFiles);
    Writer.DefaultPage := DefaultPage;
    Writer.Title := Title;
    Writer.DefaultFont := DefaultFont;
    Writer.FullTextSearch := MakeSearchable;
    Writer.HasBinaryTOC := MakeBinaryTOC;
    Writer.HasBinaryIndex := MakeBinaryIndex;
    Writer.IndexName := IndexFileName;
    Writer.TocName := TableOfContentsFileName;
    Writer.ReadmeMessage := ReadmeMessage;
    Writer.DefaultWindow := DefaultWindow;
    Writer.LocaleID := LocaleID;
    for I := 0 to Files.Count - 1 do
    begin
      if not FileExists(ProjectDir + Files[I]) then
        Error(chmwarning, 'File ' + Files[I] + ' does not exist');
      Node := TChmContextNode(Files.Objects[I]);
      if Assigned(Node) and (Node.ContextNumber <> 0) then
        Writer.AddContext(Node.ContextNumber, Files[I]);
    end;
    if Windows.Count > 0 then
      Writer.Windows := Windows;
    if MergeFiles.Count > 0 then
      Writer.MergeFiles := MergeFiles;
    Error(chmnone, 'Writing CHM ' + OutputFileName, 0);
    Writer.Execute;
  finally
    Writer.Free;
  end;
end;

var
  Project: TProject;
  Output: TFileStream;
begin
  if ParamCount <> 2 then
  begin
    WriteLn(StdErr, 'Usage: chmbuild PROJECT.hhp OUTPUT.chm');
    Halt(2);
  end;
  Project := TProject.Create;
  try
    try
      Project.OnError := @Report;
      Project.ScanHtmlContents := True;
      Project.LoadFromHhp(ParamStr(1), False);
      Project.OutputFileName := ParamStr(2);
      Output := TFileStream.Create(ParamStr(2), fmCreate);
      try
        Project.WriteChm(Output);
      finally
        Output.Free;
      end;
    except
      on E: Exception do
      begin
        WriteLn(StdErr, 'chmbuild: ', E.Message);
        Failed := True;
      end;
    end;
  finally
    Project.Free;
  end;
  if Failed then
  begin
    DeleteFile(ParamStr(2));
    Halt(1);
  end;
end.
