#pragma once
// The texts of the error report and its dialog.

namespace crash::texts {

inline constexpr wchar_t kDialogTitle[] = L"エラー報告";
inline constexpr wchar_t kUnexpected[] =
    L"このソフトウェアで予期しないエラーが起きたため、終了します。報告の内容を保存するか送って下さい。";
inline constexpr wchar_t kCopy[] = L"コピー(&C)";
inline constexpr wchar_t kSave[] = L"保存(&S)...";
inline constexpr wchar_t kMail[] = L"メールで送る(&M)...";
inline constexpr wchar_t kSend[] = L"送信(&W)";
inline constexpr wchar_t kRestart[] = L"再起動(&R)";
inline constexpr wchar_t kExit[] = L"終了(&X)";
inline constexpr wchar_t kSaveFilter[] = L"テキスト ファイル(*.txt)|*.txt|すべてのファイル(*.*)|*.*";
inline constexpr wchar_t kCopied[] = L"エラー報告をクリップボードにコピーしました。";
inline constexpr wchar_t kSaved[] = L"エラー報告を保存しました。";
inline constexpr wchar_t kNotSaved[] = L"エラー報告を保存できませんでした。";
inline constexpr wchar_t kMailSubject[] = L"エラー報告";
inline constexpr wchar_t kMailAttach[] =
    L"エラー報告の全文は次のファイルにあります。メールに添付して下さい:";
inline constexpr wchar_t kNoMailProgram[] =
    L"メール プログラムを開けませんでした。次の件名でメールを作り、エラー報告を送って下さい。";
inline constexpr wchar_t kMailSubjectLabel[] = L"件名: ";
inline constexpr wchar_t kSent[] = L"エラー報告を送信しました。サーバーの応答:";
inline constexpr wchar_t kNotSent[] = L"エラー報告を送信できませんでした。";
inline constexpr wchar_t kSendTo[] = L"送信先: ";
inline constexpr wchar_t kSendQuestion[] =
    L"ミニダンプ (.dmp) には、エラーが起きたときのこのソフトウェアのメモリーの内容が含まれます。"
    L"開いていたファイルやレジストリのキーの名前、入力した文字なども含まれることがあります。\n\n"
    L"報告にミニダンプも添えて送信しますか？\n"
    L"（はい: 報告とミニダンプを送信します。いいえ: 報告の文章だけを送信します。キャンセル: 送信しません。）";
inline constexpr wchar_t kInsecure[] =
    L"送信先が https ではないため、送信しません。（http を使えるのは、このコンピューターの中の送信先だけです。）";
inline constexpr wchar_t kEarlierReport[] =
    L"前回の実行で、このソフトウェアのエラー報告が作成されています。報告は次のフォルダーにあります:";
inline constexpr wchar_t kReporterFailed[] =
    L"このソフトウェアで予期しないエラーが起き、エラー報告も作成できませんでした。終了します。";

}  // namespace crash::texts
