// The client's settings, its link to the cookie manager, and the request
// loop that runs pass after pass until a verdict ends it.
#include "http/http_client.h"

#include "base/int_conversion.h"
#include "base/text_tokens.h"
#include "http/cookie_manager.h"
#include "http/http_exceptions.h"

namespace kv {

TIdCustomHTTP::TIdCustomHTTP(Component* owner)
    : TIdTCPClient(owner),
      current_uri_(std::make_unique<TIdURI>()),
      protocol_(std::make_unique<TIdHTTPProtocol>()),
      proxy_params_(std::make_unique<TIdProxyConnectionInfo>()) {
  SetPort(80);
}

TIdCustomHTTP::~TIdCustomHTTP() {
  if (cookie_manager_ != nullptr && !owns_cookie_manager_) cookie_manager_->RemoveFreeNotification(this);
  cookie_manager_ = nullptr;
}

void TIdCustomHTTP::SetRequest(const TIdHTTPRequest& request) { Request().Assign(request); }

void TIdCustomHTTP::SetHost(const std::string& host) {
  TIdTCPClient::SetHost(host);
  current_uri_->Host = host;
}

void TIdCustomHTTP::SetPort(int port) {
  TIdTCPClient::SetPort(port);
  current_uri_->Port = IntToStr(port);
}

void TIdCustomHTTP::SetCookieManager(TIdCookieManager* manager) {
  if (manager == cookie_manager_) return;
  if (owns_cookie_manager_) {
    cookie_manager_ = nullptr;
    owned_cookie_manager_.reset();
  } else if (cookie_manager_ != nullptr) {
    cookie_manager_->RemoveFreeNotification(this);
  }
  owns_cookie_manager_ = false;
  cookie_manager_ = manager;
  if (manager != nullptr) manager->FreeNotification(this);
}

void TIdCustomHTTP::Notification(Component* component, Operation operation) {
  if (operation == Operation::opRemove && component != nullptr && component == cookie_manager_) {
    cookie_manager_ = nullptr;
    owns_cookie_manager_ = false;
  }
  TIdTCPClient::Notification(component, operation);
}

void TIdCustomHTTP::Get(const std::string& url, Stream* body) { RunRequest(hmGet, url, body, nullptr); }

void TIdCustomHTTP::Head(const std::string& url) { RunRequest(hmHead, url, nullptr, nullptr); }

void TIdCustomHTTP::Post(const std::string& url, Stream& upload, Stream* body) {
  RunRequest(hmPost, url, body, &upload);
}

bool TIdCustomHTTP::NotifyRedirect(std::string& dest, TIdHTTPMethod& method, int count) {
  bool handled = HandleRedirects;
  if (OnRedirect) {
    int count_copy = count;
    OnRedirect(this, dest, count_copy, handled, method);
  }
  return handled;
}

void TIdCustomHTTP::RunRequest(TIdHTTPMethod method, const std::string& url, Stream* body, Stream* upload) {
  // The body is written from where the stream stands now; a followed
  // redirect cuts it back to here.
  const int64_t start = body != nullptr ? body->Position() : 0;
  auth_attempts_ = 0;
  proxy_auth_attempts_ = 0;
  Request().UploadStream = upload;
  LastResponse().BodyStream = body;

  auto end_of_request = [this] {
    CloseUnlessReusable();
    redirect_counter_ = 0;
  };
  try {
    // The caller's URL until a redirect names another.
    const std::string* pass_url = &url;
    std::string followed_url;
    TIdHTTPMethod pass_method = method;
    for (bool done = false; !done;) {
      ++redirect_counter_;
      const TIdHTTPVerdict verdict = RunPass(*pass_url, pass_method, pass_url == &followed_url);
      switch (verdict.Step) {
        case nxFollow:
          if (body != nullptr) {
            body->Seek(start, SeekOrigin::Beginning);
            body->SetSize(start);
          }
          if (verdict.AnswersChallenge) {
            --redirect_counter_;
          } else {
            auth_attempts_ = 0;
            proxy_auth_attempts_ = 0;
          }
          followed_url = verdict.Target;
          pass_url = &followed_url;
          pass_method = verdict.Method;
          break;
        case nxDone:
          done = true;
          break;
        case nxUndecided:
          throw EIdException("Undefined situation");
        case nxAuthRetry:
          // The credentials changed, not the target: the caller's URL again.
          --redirect_counter_;
          pass_url = &url;
          pass_method = verdict.Method;
          break;
      }
    }
  } catch (...) {
    // The request's own failure is what the caller learns of.
    try {
      end_of_request();
    } catch (...) {
      redirect_counter_ = 0;
    }
    throw;
  }
  end_of_request();
}

TIdHTTPVerdict TIdCustomHTTP::RunPass(const std::string& url, TIdHTTPMethod method, bool followed) {
  Request().RequestMethod = method;
  ResolveTarget(url, followed);
  ConnectAndSend();
  ReadResponseHead();
  TIdHTTPVerdict verdict = protocol_->EvaluateResponse(VerdictInput());
  CarryOut(verdict);
  return verdict;
}

TIdHTTPVerdictInput TIdCustomHTTP::VerdictInput() {
  TIdHTTPVerdictInput input;
  input.HandleRedirects = HandleRedirects;
  input.RedirectCount = redirect_counter_;
  input.RedirectMaximum = RedirectMaximum;
  input.AuthRetries = AuthRetries;
  input.AuthAttempts = auth_attempts_;
  input.ProxyAuthAttempts = proxy_auth_attempts_;
  input.InProcessAuth = (HTTPOptions & hoInProcessAuth) != 0;
  input.RedirectHandled = [this](std::string& dest, TIdHTTPMethod& method) {
    return NotifyRedirect(dest, method, redirect_counter_);
  };
  // Authentication and proxy authentication answer their challenges here.
  input.ChallengeAnswered = [this](bool proxy) {
    return proxy ? HandleProxyAuthChallenge(Request(), LastResponse())
                 : HandleAuthChallenge(Request(), LastResponse());
  };
  return input;
}

void TIdCustomHTTP::CarryOut(TIdHTTPVerdict& verdict) {
  if (verdict.Body == baRaiseStatusError) {
    // A challenge that goes unanswered starts its scheme again.
    const int code = LastResponse().StoredStatusCode();
    if (code == 401 && Request().Authenticator) Request().Authenticator->Restart();
    if (code == 407 && ProxyParams().ProxyAuthenticator) ProxyParams().ProxyAuthenticator->Restart();
    RaiseStatusError();
  }
  if (!Connected()) {
    verdict.Step = verdict.StepIfClosed;
    return;
  }
  if (verdict.Body == baDiscard) DiscardBody();
  if (verdict.Body == baRead) ReadBody();
}

bool TIdCustomHTTP::ResponseReusable() {
  CheckPeerClosed(IfClosed::Return, BufferedBytes::Count);
  return LastResponse().Reusable(Connected(), ProtocolVersion);
}

void TIdCustomHTTP::CloseUnlessReusable() {
  // Asked first in every case: it notices a peer close.
  const bool reusable = ResponseReusable();
  if (reusable && !response_pending_) return;
  // Whatever is left of a half-read response would be read as the next
  // response.
  response_pending_ = false;
  Disconnect();
}

void TIdCustomHTTP::ReadResponseHead() {
  TIdHTTPResponse& response = LastResponse();
  do {
    // Read aside: a read that fails leaves the last status line in place.
    ReadLnInto(status_line_read_);
    response.StatusLine.swap(status_line_read_);
    protocol_->ReadHeaderLines(*this);
    StoreResponseCookies();
  } while (response.StatusCode() == 100);
}

void TIdCustomHTTP::StoreResponseCookies() {
  const TIdHeaderList& lines = LastResponse().HeaderLines;
  if (cookie_manager_ == nullptr && AllowCookies) {
    owned_cookie_manager_ = std::make_unique<TIdCookieManager>();
    cookie_manager_ = owned_cookie_manager_.get();
    owns_cookie_manager_ = true;
  }
  if (cookie_manager_ == nullptr) return;
  const std::string& host = current_uri_->Host;
  // A continuation line begins with a blank, so it never carries a name.
  StringList values;
  lines.ExtractAll("Set-cookie", &values);
  for (const std::string& value : values.Lines()) cookie_manager_->StoreSetCookie(value, host);
  values.Clear();
  lines.ExtractAll("Set-cookie2", &values);
  for (const std::string& value : values.Lines()) cookie_manager_->StoreSetCookie2(value, host);
}

}  // namespace kv
